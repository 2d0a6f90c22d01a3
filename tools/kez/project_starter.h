// The starter project of `kez new NAME`: a folder NAME with a project in the short form and a payload
// folder to fill, ready for `kez build`.
#pragma once
#include <cstdint>
#include <string>

// Writes `folder` (made when absent) with "project.json" and "payload/readme.txt" for the product
// `name`, its package code a new random GUID. Refuses a folder that is not empty and a name that
// cannot be a folder name under Windows. Returns 0, or 1 with the reason in *message.
uint32_t ProjectStarterWrite(const std::u16string& folder, const std::string& name, std::string* message);
