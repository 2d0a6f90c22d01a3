// The class registry: the registered class descriptors sorted by tag, the method tables that the
// subsystems register for their classes, and the class queries on objects.
#pragma once
#include <cstdint>

#include "database/class_descriptor.h"

// Registers a list of class descriptors ended by an entry with tag 0 (kSetupClassTable at start-up,
// before any database is loaded): sorts it by tag with a heap sort and holds it for lookups.
// Registering again replaces the list and forgets every registered method table.
void ClassRegistryRegister(const ClassDescriptor* classes);
// Registers the setup class table.
void ClassRegistryRegisterSetupClasses();

// The class with the tag (bisection search), or null.
const ClassDescriptor* ClassLookup(uint32_t tag);

// True when the class or one of its ancestors has the tag; false for no class.
bool ClassIsA(const ClassDescriptor* cls, uint32_t tag);
bool ObjectIsA(const SetupObject* object, uint32_t tag);

// The object's class, or an empty descriptor (no tag, no size, no operations) for no object.
const ClassDescriptor* ClassOf(const SetupObject* object);

// "%.4s (%08lX)": the tag's four characters, then the tag in hexadecimal. Written into one of four
// rotating static buffers, so that up to four names can stand in one message (not thread-safe).
const char16_t* TagDebugName(uint32_t tag);

// Method tables. A subsystem registers the table of each class it implements at start-up (after
// the class table is registered); the registry keeps the pointer. Returns 0, 1630
// (ERROR_UNSUPPORTED_TYPE) for a tag without a class, 1 (ERROR_INVALID_FUNCTION) for a class
// without a table of that kind.
uint32_t ClassSetActionMethods(uint32_t tag, const ActionMethods* methods);
uint32_t ClassSetControlMethods(uint32_t tag, const ControlMethods* methods);
// The class's table: null for a class without one; a table of empty entries for a class with one
// for which nothing has been registered.
const ActionMethods* ClassActionMethods(const ClassDescriptor* cls);
const ControlMethods* ClassControlMethods(const ClassDescriptor* cls);

// Schema access. The type of the stored field that starts at `slot` in the class's full field list
// (its ancestors' schemas from objt down, then its own), or kFieldEnd (0) when no stored field
// starts there.
uint8_t ClassFieldType(const ClassDescriptor* cls, unsigned slot);

// Calls visit(slot, type, context) for every stored field of the class in serialized order: the
// ancestors' schemas from objt down, then the class's own.
void ClassForEachField(const ClassDescriptor* cls, void (*visit)(unsigned slot, uint8_t type, void* context),
                       void* context);
