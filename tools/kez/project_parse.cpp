// Reading a project description (README, "Building packages") into a ProjectPlan: output settings,
// objects with symbolic names and references, named fields, input files.
#include <cstring>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "actions/action_object.h"
#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/database_file.h"
#include "database/database_link.h"
#include "package/package_format.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "tools/kez/database_json.h"
#include "tools/kez/project_fields.h"
#include "tools/kez/project_ids.h"
#include "tools/kez/project_plan.h"
#include "tools/kez/project_reading.h"
#include "tools/kez/short_form.h"

using nlohmann::json;

namespace {

// The database's save time when the project gives none: 2024-01-01 00:00:00 UTC.
constexpr uint64_t kDefaultSaveTime = 0x01DA3C457689C000ULL;

constexpr uint32_t kInstallationFlagsSlot = 12;
constexpr uint32_t kPayloadBits = 0x70000000;  // bits 28-30: where the payload is
constexpr uint32_t kOptionNameSlot = 8;
constexpr uint32_t kOptionFlagsSlot = 22;
constexpr uint32_t kOptionOwnPackage = 0x10;
constexpr uint32_t kItemOptionsSlot = 8;
constexpr uint32_t kFileFlagsSlot = 23;
constexpr uint32_t kFileExternal = 0x80;
constexpr uint32_t kFileKeySlot = 29;
constexpr uint32_t kSupportNameSlot = 8;

// ---- objects ----

struct ObjectDraft {
  std::string where;   // "objects[N]"
  std::string name;    // symbolic name, may be empty
  const ClassDescriptor* cls;
  uint64_t id;
  SetupObject* object;
  std::set<unsigned> given;  // slots the project sets
  bool has_source;
  PackageEntryHeader source_facts;
  std::u16string source;
};

struct Drafts {
  std::vector<ObjectDraft> items;
  std::map<std::string, size_t> by_name;
  std::map<uint64_t, size_t> by_id;
};

std::string TagText(uint32_t tag) { return std::string(reinterpret_cast<const char*>(&tag), 4); }

std::string HexId(uint64_t id) {
  char text[24];
  snprintf(text, sizeof text, "0x%016llX", static_cast<unsigned long long>(id));
  return text;
}

void DraftObject(const json& object, const std::string& where, Drafts* drafts) {
  AllowOnly(object, where, {"tag", "name", "id", "flags", "source", "fields"});
  ObjectDraft d{};
  d.where = where;
  if (!object.contains("tag")) Refuse(where, "an object needs a \"tag\"");
  const std::string& tag = Text(object["tag"], Member(where, "tag"));
  uint32_t code = 0;
  if (tag.size() == 4) memcpy(&code, tag.data(), 4);
  d.cls = tag.size() == 4 ? ClassLookup(code) : nullptr;
  if (!d.cls) Refuse(Member(where, "tag"), "no class has the tag " + Quoted(tag));
  if (object.contains("name")) {
    d.name = Text(object["name"], Member(where, "name"));
    if (d.name.empty() || d.name[0] == '@') Refuse(Member(where, "name"), "a name is not empty and starts with no \"@\"");
    auto known = drafts->by_name.find(d.name);
    if (known != drafts->by_name.end())
      Refuse(Member(where, "name"), "the name " + Quoted(d.name) + " is already " + drafts->items[known->second].where + "'s");
  }
  std::string id_where = Member(where, "id");
  if (object.contains("id")) {
    d.id = Number(object["id"], id_where, UINT64_MAX);
  } else if (!d.name.empty()) {
    d.id = ProjectIdFromName(d.name);
    id_where = Member(where, "name");
  } else {
    Refuse(where, "an object needs an \"id\" or a \"name\"");
  }
  if (d.id == 0 || (d.id >> 16) == 0xFFFFFFFFFFFFULL) Refuse(id_where, "id " + HexId(d.id) + " is reserved");
  auto same = drafts->by_id.find(d.id);
  if (same != drafts->by_id.end())
    Refuse(id_where, "id " + HexId(d.id) + " is already " + drafts->items[same->second].where + "'s");
  if (!d.name.empty()) drafts->by_name[d.name] = drafts->items.size();
  drafts->by_id[d.id] = drafts->items.size();
  drafts->items.push_back(d);
}

// "@name" in a reference field becomes the named object's id; other values stay as they are.
json ResolveReference(const json& value, const std::string& where, uint32_t target, const Drafts& drafts) {
  if (!value.is_string() || value.get_ref<const std::string&>().compare(0, 1, "@") != 0) return value;
  std::string name = value.get<std::string>().substr(1);
  auto found = drafts.by_name.find(name);
  if (found == drafts.by_name.end()) Refuse(where, value.dump() + " names no object");
  const ObjectDraft& d = drafts.items[found->second];
  if (target && !ClassIsA(d.cls, target))
    Refuse(where, value.dump() + " is a " + TagText(d.cls->tag) + " object (" + d.where + "), not a " + TagText(target));
  return HexId(d.id);
}

json ResolveReferences(const json& field, const std::string& where, uint8_t type, uint32_t target,
                       const Drafts& drafts) {
  bool described = field.is_object() && field.contains("value");
  const json& value = described ? field["value"] : field;
  json resolved;
  if (type == kFieldId) {
    resolved = ResolveReference(value, where, target, drafts);
  } else if (value.is_array()) {
    resolved = json::array();
    for (size_t i = 0; i < value.size(); ++i) resolved.push_back(ResolveReference(value[i], Item(where, i), target, drafts));
  } else {
    resolved = value;
  }
  if (!described) return resolved;
  json copy = field;
  copy["value"] = resolved;
  return copy;
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

void FieldsOfObject(const json& fields, ObjectDraft* d, const Drafts& drafts) {
  std::string where = Member(d->where, "fields");
  if (!fields.is_object()) Refuse(where, "fields are an object keyed by slot number or field name");
  for (const auto& item : fields.items()) {
    std::string at = Member(where, item.key());
    unsigned slot;
    if (AllDigits(item.key())) {
      slot = item.key().size() <= 3 ? unsigned(std::stoul(item.key())) : 1000;
      if (slot > 255 || !ClassFieldType(d->cls, slot))
        Refuse(at, "slot " + item.key() + " is no stored field of " + TagText(d->cls->tag));
    } else {
      const ProjectFieldName* named = ProjectFieldByName(d->cls, item.key().c_str());
      if (!named) Refuse(at, TagText(d->cls->tag) + " has no field " + Quoted(item.key()));
      slot = named->slot;
    }
    if (!d->given.insert(slot).second) Refuse(at, "slot " + std::to_string(slot) + " is given twice");
    uint8_t type = ClassFieldType(d->cls, slot);
    json value = item.value();
    if (type == kFieldId || type == kFieldIdList) {
      const ProjectFieldName* row = ProjectFieldBySlot(d->cls, slot);
      value = ResolveReferences(value, at, type, row ? row->target : 0, drafts);
    }
    std::string why;
    if (!DatabaseFieldFromJson(d->object, slot, value, &why)) Refuse(at, why);
  }
}

// Architecture masks left out of the project mean every architecture (x86, x64, Arm64): the runtime
// reads a stored 0 as none, so an action or option would never apply.
struct ArchitectureSlots {
  uint32_t tag;
  unsigned architecture_mask, capability_mask;
};
const ArchitectureSlots kArchitectureSlots[] = {
    {TagOf("a000"), kActionArchitectureMask, kActionCapabilityMask}, {TagOf("cmp9"), 23, 24}};
constexpr uint32_t kEveryArchitecture = kArchitectureX86 | kArchitectureX64 | kArchitectureArm64;

void ArchitectureDefaults(ObjectDraft* d) {
  for (const ArchitectureSlots& row : kArchitectureSlots) {
    if (!ClassIsA(d->cls, row.tag)) continue;
    for (unsigned slot : {row.architecture_mask, row.capability_mask})
      if (!d->given.count(slot)) BuilderSetU32(d->object, slot, kEveryArchitecture);
  }
}

// A dialog without a placement is centred on the work area (-1); a stored 0 would put its centre at
// the top left corner.
void DialogDefaults(ObjectDraft* d) {
  constexpr unsigned kDialogPlacement = 13;
  if (ClassIsA(d->cls, TagOf("dlg ")) && !d->given.count(kDialogPlacement)) BuilderSetInt(d->object, kDialogPlacement, -1);
}

// The fields that a packaged file's item carries from the file itself, unless the project sets them.
void FileFactsIntoFields(ObjectDraft* d) {
  const PackageEntryHeader& h = d->source_facts;
  auto set64 = [d](unsigned slot, uint64_t value) {
    if (!d->given.count(slot)) BuilderSetU64(d->object, slot, value);
  };
  set64(20, h.size);
  if (!d->given.count(22)) BuilderSetU32(d->object, 22, h.attributes);
  set64(36, h.creation_time);
  set64(38, h.last_write_time);
  set64(40, h.product_version);
  set64(42, h.file_version);
}

void SourceOfObject(const json& object, ObjectDraft* d, const std::u16string& base) {
  if (!object.contains("source")) return;
  std::string where = Member(d->where, "source");
  bool file = ClassIsA(d->cls, TagOf("file"));
  if (!file && !ClassIsA(d->cls, TagOf("stof"))) Refuse(where, "only file and stof objects have a source");
  d->source = InputFile(object["source"], where, base, &d->source_facts);
  d->has_source = true;
  if (file) {
    FileFactsIntoFields(d);
  } else if (!d->given.count(kSupportNameSlot)) {
    BuilderSetText(d->object, kSupportNameSlot, TextFromUtf8(FileNameOf(object["source"].get<std::string>())).c_str());
  }
}

// A file's key (what `<#Key>` looks up) is its object's name unless the project gives one.
void FileKeyDefault(ObjectDraft* d) {
  if (ClassIsA(d->cls, TagOf("file")) && !d->given.count(kFileKeySlot) && !d->name.empty())
    BuilderSetText(d->object, kFileKeySlot, TextFromUtf8(d->name).c_str());
}

// ---- checks across objects ----

void CheckInstallation(const Drafts& drafts, PayloadPlace payload, ProjectPlan* plan) {
  const ObjectDraft* inst = nullptr;
  for (const ObjectDraft& d : drafts.items) {
    if (d.cls->tag != TagOf("inst")) continue;
    if (inst) Refuse(d.where, "a database has one inst object; " + inst->where + " is one already");
    inst = &d;
  }
  if (!inst) Refuse("objects", "a database needs its inst object (the installation record)");
  plan->installation_id = inst->id;
  static const uint32_t kBits[] = {0x10000000, 0x20000000, 0x40000000};
  uint32_t wanted = kBits[int(payload)];
  uint32_t flags = SlotU32(inst->object, kInstallationFlagsSlot);
  if ((flags & kPayloadBits) && (flags & kPayloadBits) != wanted)
    Refuse(Member(Member(inst->where, "fields"), "flags"),
           "bits 28-30 say where the payload is and follow output.payload; leave them clear");
  BuilderSetU32(inst->object, kInstallationFlagsSlot, (flags & ~kPayloadBits) | wanted);
}

bool IsOwnPackageOption(const ObjectDraft& d) {
  return ClassIsA(d.cls, TagOf("cmp9")) && (SlotU32(d.object, kOptionFlagsSlot) & kOptionOwnPackage);
}

void CollectOptionPackages(const Drafts& drafts, ProjectPlan* plan) {
  std::map<std::string, const ObjectDraft*> names;
  for (const ObjectDraft& d : drafts.items) {
    if (!IsOwnPackageOption(d)) continue;
    std::string where = Member(Member(d.where, "fields"), "name");
    const char16_t* text = SlotText(d.object, kOptionNameSlot);
    std::string name = text ? TextToUtf8(text) : "";
    if (name.empty()) Refuse(where, "an option with its own package (flags 0x10) needs a name: it names the package");
    std::string file = name + ".kez";
    CheckFileName(file, where);
    if (IsReservedPackageName(file) || Lower(file) == Lower(TextToUtf8(plan->output.package_name)))
      Refuse(where, "the package " + Quoted(file) + " would replace another package of the build");
    auto same = names.find(Lower(file));
    if (same != names.end()) Refuse(where, "the package " + Quoted(file) + " is already " + same->second->where + "'s");
    names[Lower(file)] = &d;
    plan->options.push_back({d.id, TextFromUtf8(file), {}});
  }
}

void CheckFileSources(const Drafts& drafts) {
  for (const ObjectDraft& d : drafts.items) {
    bool external = ClassIsA(d.cls, TagOf("file")) && (SlotU32(d.object, kFileFlagsSlot) & kFileExternal);
    if (ClassIsA(d.cls, TagOf("file")) && external && d.has_source)
      Refuse(Member(d.where, "source"), "an external file (file_flags 0x80) is copied from the installation's folder, not packaged");
    if (ClassIsA(d.cls, TagOf("file")) && !external && !d.has_source)
      Refuse(d.where, "a file needs a \"source\" (or file_flags 0x80 for an external file)");
    if (ClassIsA(d.cls, TagOf("stof")) && !d.has_source) Refuse(d.where, "a support file (stof) needs a \"source\"");
  }
}

// The file list as the runtime builds it when it links the database (sorted by the key, slot 29,
// ignoring case): the order in which payload entries are written.
std::vector<uint64_t> FileListOrder(ProjectPlan* plan) {
  std::vector<uint64_t> ids;
  uint8_t* bytes = nullptr;
  size_t size = 0;
  uint32_t err = BuilderSaveToMemory(plan->table, plan->save_time, &bytes, &size);
  if (err) throw ProjectFault{err, "cannot save the database (error " + std::to_string(err) + ")"};
  BufferedFile stream{};
  BufferedOpenMemory(&stream, bytes, size);
  ObjectTable* linked = nullptr;
  LinkHooks hooks = {nullptr, false};
  err = DatabaseLoad(&stream, 0, &hooks, &linked);
  BufferedClose(&stream);
  MemFree(bytes);
  if (err) throw ProjectFault{err, "cannot load the saved database (error " + std::to_string(err) + ")"};
  for (uint32_t i = 0; i < linked->files.count; ++i) ids.push_back(ObjectId(linked->files.items[i]));
  ObjectTableDestroy(linked);
  return ids;
}

// Each packaged file goes to the package of every own-package option it belongs to, and to the main
// payload when it belongs to no option or to any option without a package of its own.
void DistributePayload(const Drafts& drafts, ProjectPlan* plan) {
  std::map<uint64_t, size_t> option_index;
  for (size_t i = 0; i < plan->options.size(); ++i) option_index[plan->options[i].option_id] = i;
  for (uint64_t id : FileListOrder(plan)) {
    const ObjectDraft& d = drafts.items[drafts.by_id.at(id)];
    if (!d.has_source) continue;
    const U64Array* options = SlotView<U64Array>(d.object, kItemOptionsSlot);
    bool main = !options->items || options->count == 0;
    for (uint32_t k = 0; options->items && k < options->count; ++k) {
      auto own = option_index.find(options->items[k]);
      if (own == option_index.end()) {
        main = true;
      } else {
        std::vector<ProjectEntry>& files = plan->options[own->second].files;
        if (files.empty() || files.back().id != id) files.push_back({id, d.source});
      }
    }
    if (main) plan->payload.push_back({id, d.source});
  }
}

void HeaderOfDatabase(const json& document, const Drafts& drafts, ProjectPlan* plan) {
  json header = document.contains("header") ? document["header"] : json::object();
  plan->save_time = kDefaultSaveTime;
  std::string why;
  if (!DatabaseHeaderFromJson(plan->table, header, &plan->save_time, &why)) Refuse("header", why);
  uint32_t support = 0;
  for (const ObjectDraft& d : drafts.items) support += ClassIsA(d.cls, TagOf("stof")) ? 1 : 0;
  if (header.contains("support_files") && DatabaseHeaderU32(plan->table, kHeaderSupportFiles) != support)
    Refuse("header.support_files", "the package holds " + std::to_string(support) + " support files (stof objects)");
  BuilderSetSupportFileCount(plan->table, support);
  if (DatabaseHeaderU64(plan->table, kHeaderInstallTime))
    Refuse("header.installation_time", "a package's database has no installation time");
  if (header.contains("package_code")) {
    memcpy(plan->package_code, plan->table->header + kHeaderPackageCode, 16);
  } else {
    ProjectPackageCode(document.dump(), plan->package_code);
    BuilderSetPackageCode(plan->table, plan->package_code);
  }
}

void ParseDocument(const json& project, const std::u16string& base, const std::u16string& runtime_override,
                   ProjectPlan* plan) {
  AllowOnly(project, "",
            {"output", "icon", "readme", "extension", "company", "file_description", "header", "product", "objects"});
  const json document = ShortFormExpand(project, base);
  ProjectOutputFromJson(document.contains("output") ? document["output"] : json::object(), runtime_override, base,
                        &plan->output);
  ProjectRuntimeFieldsFromJson(document, base, plan);
  if (document.contains("readme")) plan->readme = InputFile(document["readme"], "readme", base);
  if (document.contains("extension")) plan->extension = InputFile(document["extension"], "extension", base);

  Drafts drafts;
  if (!document.contains("objects") || !document["objects"].is_array())
    Refuse("objects", "the project's objects are an array");
  const json& objects = document["objects"];
  for (size_t i = 0; i < objects.size(); ++i) DraftObject(objects[i], Item("objects", i), &drafts);

  plan->table = BuilderCreateTable();
  for (ObjectDraft& d : drafts.items) {
    const json& object = objects[&d - drafts.items.data()];
    uint32_t flags = object.contains("flags") ? uint32_t(Number(object["flags"], Member(d.where, "flags"), UINT32_MAX)) : 0;
    d.object = BuilderAddObject(plan->table, d.cls->tag, d.id, flags);
  }
  for (ObjectDraft& d : drafts.items) {
    const json& object = objects[&d - drafts.items.data()];
    if (object.contains("fields")) FieldsOfObject(object["fields"], &d, drafts);
    ArchitectureDefaults(&d);
    DialogDefaults(&d);
    FileKeyDefault(&d);
    SourceOfObject(object, &d, base);
  }
  CheckInstallation(drafts, plan->output.payload, plan);
  CheckFileSources(drafts);
  CollectOptionPackages(drafts, plan);
  for (const ObjectDraft& d : drafts.items)
    if (ClassIsA(d.cls, TagOf("stof"))) plan->support_files.push_back({d.id, d.source});
  HeaderOfDatabase(document, drafts, plan);
  DistributePayload(drafts, plan);
}

}  // namespace

uint32_t ProjectParse(const std::string& project_json, const std::u16string& base_folder,
                      const std::u16string& runtime_override, ProjectPlan* plan, std::string* message) {
  ClassRegistryRegisterSetupClasses();
  json document;
  try {
    document = json::parse(project_json);
  } catch (const json::parse_error& e) {
    *message = std::string("the project is not valid JSON: ") + e.what();
    return ERROR_INVALID_DATA;
  }
  try {
    ParseDocument(document, base_folder, runtime_override, plan);
  } catch (const ProjectFault& fault) {
    *message = fault.message;
    return fault.error;
  }
  return ERROR_SUCCESS;
}
