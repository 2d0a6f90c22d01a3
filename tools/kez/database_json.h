// The JSON form of a setup database (README, "Database format"): the header fields by name and,
// per object, its tag, id, flags and every stored field by slot with its type and value. `kez dump`
// writes it, `kez undump` reads it back; package builders write it by hand.
#pragma once
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "database/object_table.h"

// The table (objects in id order) as JSON.
nlohmann::ordered_json DatabaseToJson(ObjectTable* table);

// The JSON text of DatabaseToJson's result, one line per header field and per object field.
std::string DatabaseJsonText(const nlohmann::ordered_json& document);

// A new table (bucket seed 0) from JSON; *save_time gets the header's "save_time" when given, else
// 0. Returns null and explains in *error when the JSON does not describe a database.
ObjectTable* DatabaseFromJson(const nlohmann::json& json, uint64_t* save_time, std::string* error);
