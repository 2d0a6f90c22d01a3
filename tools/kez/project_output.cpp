// The output settings of a project description (README, "Building packages", `output`).
#include "package/package_format.h"
#include "package/package_writer.h"
#include "package/stream_decoder.h"
#include "runtime/text.h"
#include "tools/kez/project_plan.h"
#include "tools/kez/project_reading.h"

using nlohmann::json;

namespace {

constexpr size_t kMaximumPasswordLength = 63;

uint32_t MethodFromJson(const json& value, const std::string& where) {
  const std::string& name = Text(value, where);
  if (name == "zlib") return kPackageMethodZlib;
  if (name == "lzma") return kPackageMethodLzma;
  if (name == "lzma2") return kPackageMethodLzma2;
  Refuse(where, "the method is \"zlib\", \"lzma\" or \"lzma2\", not " + Quoted(name));
}

PayloadPlace PayloadFromJson(const json& value, const std::string& where) {
  const std::string& name = Text(value, where);
  if (name == "package") return PayloadPlace::kPackage;
  if (name == "external") return PayloadPlace::kExternal;
  if (name == "download") return PayloadPlace::kDownloaded;
  Refuse(where, "the payload goes to \"package\", \"external\" or \"download\", not " + Quoted(name));
}

// 1 to 63 characters of Latin-1 (U+0020-U+007E, U+00A0-U+00FF), stored as their byte values: the
// runtime reads passwords in the ANSI code page, which agrees with Latin-1 on these characters.
std::string PasswordFromJson(const json& value, const std::string& where) {
  std::u16string text = TextFromUtf8(Text(value, where));
  if (text.empty() || text.size() > kMaximumPasswordLength) Refuse(where, "a password has 1 to 63 characters");
  std::string bytes;
  for (char16_t c : text) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c > 0xFF)
      Refuse(where, "a password holds printable Latin-1 characters only (U+0020-U+007E, U+00A0-U+00FF)");
    bytes += char(c);
  }
  return bytes;
}

}  // namespace

void ProjectOutputFromJson(const json& output, const std::u16string& runtime_override, const std::u16string& base,
                           ProjectOutput* settings) {
  const std::string where = "output";
  AllowOnly(output, where,
            {"package", "runtime", "payload", "method", "level", "dictionary_size", "volume_size", "password",
             "mask_password"});
  ProjectOutput& o = *settings;
  o.method = kPackageMethodLzma2;
  std::string package = "Setup.exe";
  if (output.contains("package")) package = Text(output["package"], Member(where, "package"));
  CheckFileName(package, Member(where, "package"));
  if (IsReservedPackageName(package)) Refuse(Member(where, "package"), Quoted(package) + " is the name of a volume or of the downloaded package");
  o.package_name = TextFromUtf8(package);
  if (output.contains("payload")) o.payload = PayloadFromJson(output["payload"], Member(where, "payload"));
  if (output.contains("method")) o.method = MethodFromJson(output["method"], Member(where, "method"));
  if (output.contains("level")) o.level = uint32_t(Number(output["level"], Member(where, "level"), 9));
  if (output.contains("dictionary_size")) {
    std::string at = Member(where, "dictionary_size");
    o.dictionary_size = uint32_t(Number(output["dictionary_size"], at, kMaxDictionarySize));
    if (o.method == kPackageMethodZlib) Refuse(at, "zlib has no dictionary size to choose");
    if (o.dictionary_size < 4096) Refuse(at, "a dictionary holds 4096 bytes at least");
  }
  if (output.contains("volume_size")) {
    std::string at = Member(where, "volume_size");
    o.volume_size = Number(output["volume_size"], at, UINT64_MAX);
    if (o.volume_size && o.volume_size < kPackageMinimumVolumeLimit) Refuse(at, "a volume holds 128 bytes at least");
  }
  if (output.contains("password")) o.password = PasswordFromJson(output["password"], Member(where, "password"));
  if (output.contains("mask_password")) o.mask_password = Flag(output["mask_password"], Member(where, "mask_password"));

  if (!EndsWith(Lower(package), ".exe")) return;  // a stand-alone volume needs no runtime
  if (!runtime_override.empty()) {
    o.runtime = runtime_override;
  } else if (output.contains("runtime")) {
    o.runtime = InputFile(output["runtime"], Member(where, "runtime"), base);
  } else {
    Refuse(Member(where, "runtime"), "an executable package needs the runtime Setup.exe (--runtime or output.runtime)");
  }
}
