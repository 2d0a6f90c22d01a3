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

// The pieces of DatabaseFromJson, for readers of larger documents (the package builder's project
// files). Each returns false and explains in *error when the JSON does not fit.
// A number: a JSON number or a text, decimal or "0x" hexadecimal, at most `maximum`.
bool DatabaseNumberFromJson(const nlohmann::json& value, uint64_t maximum, uint64_t* number, std::string* error);
// A GUID text "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" into the 16 bytes of the Windows GUID layout.
bool DatabaseGuidFromJson(const nlohmann::json& value, uint8_t guid[16], std::string* error);
// The "header" object into the table; *save_time gets "save_time" when given (else it is left).
bool DatabaseHeaderFromJson(ObjectTable* table, const nlohmann::json& header, uint64_t* save_time, std::string* error);
// One field, {"type": T, "value": V} or V alone, into the stored field of the object's class that
// starts at `slot`.
bool DatabaseFieldFromJson(SetupObject* object, unsigned slot, const nlohmann::json& field, std::string* error);
