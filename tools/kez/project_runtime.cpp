// The product's Setup.exe: the project members that describe it, and the runtime stamped with them
// and with the installation record's product name and version and the package code.
#include <cstdio>

#include "database/class_descriptor.h"
#include "package/package_classify.h"
#include "runtime/text.h"
#include "tools/kez/project_plan.h"
#include "tools/kez/project_reading.h"
#include "tools/kez/runtime_stamp.h"
#include "tools/kez/whole_file.h"

using nlohmann::json;

namespace {

constexpr uint64_t kMaximumIconFile = 16u << 20;
constexpr size_t kMaximumVersionText = 256;
constexpr unsigned kInstallationProduct = 20;
constexpr unsigned kInstallationVersionHigh = 26;
constexpr unsigned kInstallationVersionLow = 27;

std::vector<IconImage> IconFromFile(const std::u16string& path, const std::string& where) {
  std::vector<uint8_t> bytes;
  uint32_t err = WholeFileRead(path.c_str(), kMaximumIconFile, &bytes);
  if (err == ERROR_INVALID_DATA) Refuse(where, Quoted(TextToUtf8(path)) + " is larger than 16 MiB: no icon file");
  if (err) Refuse(where, "cannot read " + Quoted(TextToUtf8(path)) + " (error " + std::to_string(err) + ")", err);
  std::vector<IconImage> images;
  std::string why;
  if (IconFileRead(bytes, &images, &why)) Refuse(where, Quoted(TextToUtf8(path)) + " is no valid icon: " + why);
  return images;
}

// A text of the version resource: 1 to 256 characters, no NUL (readers stop there).
std::u16string VersionTextFromJson(const json& value, const std::string& where) {
  std::u16string text = TextFromUtf8(Text(value, where));
  if (text.empty() || text.size() > kMaximumVersionText) Refuse(where, "a version text has 1 to 256 characters");
  if (text.find(u'\0') != std::u16string::npos) Refuse(where, "a version text holds no NUL character");
  return text;
}

std::u16string PackageCodeText(const uint8_t* c) {
  char text[40];
  snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(LoadLe32(c)),
           unsigned(LoadLe16(c + 4)), unsigned(LoadLe16(c + 6)), c[8], c[9], c[10], c[11], c[12], c[13], c[14], c[15]);
  return TextFromUtf8(text);
}

}  // namespace

void ProjectRuntimeFieldsFromJson(const json& document, const std::u16string& base, ProjectPlan* plan) {
  if (document.contains("icon")) {
    plan->icon = InputFile(document["icon"], "icon", base);
    plan->icon_images = IconFromFile(plan->icon, "icon");
  }
  if (document.contains("company")) plan->company_name = VersionTextFromJson(document["company"], "company");
  if (document.contains("file_description"))
    plan->file_description = VersionTextFromJson(document["file_description"], "file_description");
}

uint32_t ProjectStampRuntime(const ProjectPlan& plan, std::vector<uint8_t>* image, std::vector<std::string>* warnings,
                             std::string* message) {
  std::string runtime = TextToUtf8(plan.output.runtime);
  std::string package = TextToUtf8(plan.output.package_name);
  std::vector<uint8_t> bytes;
  uint32_t err = WholeFileRead(plan.output.runtime.c_str(), kMaximumPackageOffset, &bytes);
  if (err == ERROR_INVALID_DATA) err = ERROR_BAD_FORMAT;
  if (err) {
    *message = "cannot read the runtime " + runtime + " for " + package + " (error " + std::to_string(err) + ")";
    return err;
  }
  const SetupObject* inst = ObjectTableFind(plan.table, TagOf("inst"), plan.installation_id);
  RuntimeStamp stamp;
  if (const char16_t* product = SlotText(inst, kInstallationProduct)) stamp.product_name = product;
  stamp.package_code = PackageCodeText(plan.package_code);
  stamp.version = uint64_t(SlotU32(inst, kInstallationVersionHigh)) << 32 | SlotU32(inst, kInstallationVersionLow);
  stamp.company_name = plan.company_name;
  stamp.file_description = plan.file_description;
  if (!plan.icon_images.empty()) stamp.icon = &plan.icon_images;
  RuntimeStampReport report;
  std::string why;
  err = RuntimeStampImage(std::move(bytes), stamp, image, &report, &why);
  if (err) {
    *message = "cannot make " + package + " from the runtime " + runtime + ": " + why + " (error " + std::to_string(err) + ")";
    return err;
  }
  if (report.debug_sections)
    warnings->push_back("the runtime " + runtime + " carries debug information; packages should carry the release runtime without it");
  if (report.signature_removed)
    warnings->push_back("the runtime " + runtime + " was signed; the signature no longer fits its changed resources and was removed");
  return ERROR_SUCCESS;
}
