#include "tools/kez/version_block.h"

#include "package/package_format.h"
#include "runtime/errors.h"

namespace {

constexpr uint32_t kBlockHeader = 6;
constexpr uint32_t kMaximumDepth = 6;
constexpr uint32_t kMaximumBlock = 0xFFFF;
constexpr uint32_t kFixedSize = 52;
constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t kFixedStructVersion = 0x00010000;
constexpr uint32_t kFixedFlagsMask = 0x3F;
constexpr uint32_t kFixedOsNtWindows32 = 0x00040004;
constexpr uint32_t kFixedTypeApplication = 1;
constexpr uint16_t kTypeText = 1;

const char16_t kRootKey[] = u"VS_VERSION_INFO";
const char16_t kStringsKey[] = u"StringFileInfo";
const char16_t kVariablesKey[] = u"VarFileInfo";
const char16_t kTranslationKey[] = u"Translation";
const char16_t kDefaultTable[] = u"040904B0";  // U.S. English, Unicode
constexpr uint16_t kDefaultLanguage = 0x0409;
constexpr uint16_t kDefaultCodePage = 1200;

uint32_t Align4(uint32_t value) { return (value + 3) & ~3u; }

uint32_t Damaged(std::string* why, const std::string& text) {
  *why = "the version resource " + text;
  return ERROR_BAD_EXE_FORMAT;
}

uint32_t ReadBlock(const std::vector<uint8_t>& data, uint32_t at, uint32_t end, uint32_t depth, VersionBlock* block,
                   std::string* why) {
  if (depth > kMaximumDepth) return Damaged(why, "nests too deep");
  if (end - at < kBlockHeader) return Damaged(why, "has a block cut short");
  const uint8_t* b = data.data();
  uint32_t length = LoadLe16(b + at), value_length = LoadLe16(b + at + 2);
  block->type = LoadLe16(b + at + 4);
  if (length < kBlockHeader || length > end - at) return Damaged(why, "has a block that leaves its parent");
  uint32_t block_end = at + length;
  uint32_t p = at + kBlockHeader;
  for (;; p += 2) {
    if (block_end - p < 2) return Damaged(why, "has a key without its end");
    char16_t c = LoadLe16(b + p);
    if (!c) break;
    block->key += c;
  }
  p = Align4(p + 2);
  // The root's fixed part is counted in bytes whatever its type says.
  uint32_t value_bytes = block->type == kTypeText && depth > 0 ? 2 * value_length : value_length;
  if (p > block_end) p = block_end;
  if (value_bytes > block_end - p) value_bytes = block_end - p;  // writers disagree on the unit
  block->value.assign(b + p, b + p + value_bytes);
  for (p = Align4(p + value_bytes); p < block_end && block_end - p >= kBlockHeader;) {
    block->children.emplace_back();
    uint32_t err = ReadBlock(data, p, block_end, depth + 1, &block->children.back(), why);
    if (err) return err;
    p = Align4(p + LoadLe16(b + p));
  }
  return ERROR_SUCCESS;
}

void WriteBlock(const VersionBlock& block, std::vector<uint8_t>* out) {
  size_t start = out->size();
  out->resize(start + kBlockHeader);
  auto put16 = [out](uint16_t value) {
    out->push_back(uint8_t(value));
    out->push_back(uint8_t(value >> 8));
  };
  for (char16_t c : block.key) put16(c);
  put16(0);
  out->resize(Align4(uint32_t(out->size())));
  out->insert(out->end(), block.value.begin(), block.value.end());
  for (const VersionBlock& child : block.children) {
    out->resize(Align4(uint32_t(out->size())));
    WriteBlock(child, out);
  }
  size_t length = out->size() - start;
  size_t value_length = block.type == kTypeText ? block.value.size() / 2 : block.value.size();
  StoreLe16(out->data() + start, uint16_t(length > kMaximumBlock ? 0 : length));
  StoreLe16(out->data() + start + 2, uint16_t(value_length));
  StoreLe16(out->data() + start + 4, block.type);
}

std::vector<uint8_t> TextValue(const std::u16string& text) {
  std::vector<uint8_t> value;
  for (char16_t c : text) {
    value.push_back(uint8_t(c));
    value.push_back(uint8_t(c >> 8));
  }
  value.push_back(0);
  value.push_back(0);
  return value;
}

std::u16string ValueText(const std::vector<uint8_t>& value) {
  std::u16string text;
  for (size_t k = 0; k + 1 < value.size(); k += 2) {
    char16_t c = LoadLe16(value.data() + k);
    if (!c) break;
    text += c;
  }
  return text;
}

VersionBlock* Child(VersionBlock* parent, const std::u16string& key) {
  for (VersionBlock& child : parent->children)
    if (child.key == key) return &child;
  return nullptr;
}

VersionBlock* AddChild(VersionBlock* parent, const std::u16string& key, uint16_t type) {
  parent->children.push_back(VersionBlock{key, type, {}, {}});
  return &parent->children.back();
}

uint32_t HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  c |= 0x20;
  return c >= u'a' && c <= u'f' ? c - u'a' + 10 : 16;
}

// "040904B0" → language 0x0409, code page 0x04B0; U.S. English and Unicode for another key.
std::vector<uint8_t> TranslationOf(const std::u16string& table) {
  uint32_t number = uint32_t(kDefaultLanguage) << 16 | kDefaultCodePage;
  bool valid = table.size() == 8;
  uint32_t parsed = 0;
  for (char16_t c : table) {
    valid = valid && HexDigit(c) < 16;
    parsed = parsed << 4 | (HexDigit(c) & 15);
  }
  if (valid) number = parsed;
  return {uint8_t(number >> 16), uint8_t(number >> 24), uint8_t(number), uint8_t(number >> 8)};
}

// Children are kept by value: a pointer to one is good only until its parent gains another.
void EnsureTables(VersionBlock* root) {
  VersionBlock* strings = Child(root, kStringsKey);
  if (!strings) strings = AddChild(root, kStringsKey, kTypeText);
  if (strings->children.empty()) AddChild(strings, kDefaultTable, kTypeText);
  std::vector<uint8_t> translation = TranslationOf(strings->children[0].key);
  VersionBlock* variables = Child(root, kVariablesKey);
  if (!variables) variables = AddChild(root, kVariablesKey, kTypeText);
  if (!Child(variables, kTranslationKey)) AddChild(variables, kTranslationKey, 0)->value = translation;
}

}  // namespace

uint32_t VersionBlockRead(const std::vector<uint8_t>& data, VersionBlock* root, std::string* why) {
  *root = VersionBlock{};
  uint32_t size = data.size() > kMaximumBlock ? kMaximumBlock : uint32_t(data.size());
  uint32_t err = ReadBlock(data, 0, size, 0, root, why);
  if (err) return err;
  if (root->key != kRootKey) return Damaged(why, "does not start with \"VS_VERSION_INFO\"");
  if (root->value.size() != kFixedSize || LoadLe32(root->value.data()) != kFixedSignature)
    return Damaged(why, "has no fixed file information");
  return ERROR_SUCCESS;
}

uint32_t VersionBlockWrite(const VersionBlock& root, std::vector<uint8_t>* data, std::string* why) {
  data->clear();
  WriteBlock(root, data);
  if (data->size() > kMaximumBlock) return Damaged(why, "would be longer than 65535 bytes");
  return ERROR_SUCCESS;
}

VersionBlock VersionBlockNew() {
  VersionBlock root{kRootKey, 0, std::vector<uint8_t>(kFixedSize), {}};
  uint8_t* fixed = root.value.data();
  StoreLe32(fixed, kFixedSignature);
  StoreLe32(fixed + 4, kFixedStructVersion);
  StoreLe32(fixed + 24, kFixedFlagsMask);
  StoreLe32(fixed + 32, kFixedOsNtWindows32);
  StoreLe32(fixed + 36, kFixedTypeApplication);
  EnsureTables(&root);
  return root;
}

void VersionBlockSetText(VersionBlock* root, const std::u16string& name, const std::u16string& value) {
  EnsureTables(root);
  for (VersionBlock& strings : root->children) {
    if (strings.key != kStringsKey) continue;
    for (VersionBlock& table : strings.children) {
      VersionBlock* text = Child(&table, name);
      if (!text) text = AddChild(&table, name, kTypeText);
      text->type = kTypeText;
      text->value = TextValue(value);
    }
  }
}

void VersionBlockSetVersion(VersionBlock* root, uint64_t version) {
  uint8_t* fixed = root->value.data();
  StoreLe32(fixed + 8, uint32_t(version >> 32));
  StoreLe32(fixed + 12, uint32_t(version));
  StoreLe32(fixed + 16, uint32_t(version >> 32));
  StoreLe32(fixed + 20, uint32_t(version));
}

void VersionBlockVersions(const VersionBlock& root, uint64_t* file_version, uint64_t* product_version) {
  const uint8_t* fixed = root.value.data();
  *file_version = uint64_t(LoadLe32(fixed + 8)) << 32 | LoadLe32(fixed + 12);
  *product_version = uint64_t(LoadLe32(fixed + 16)) << 32 | LoadLe32(fixed + 20);
}

std::vector<VersionText> VersionBlockTexts(const VersionBlock& root) {
  std::vector<VersionText> texts;
  for (const VersionBlock& strings : root.children) {
    if (strings.key != kStringsKey) continue;
    for (const VersionBlock& table : strings.children)
      for (const VersionBlock& text : table.children) texts.push_back({table.key, text.key, ValueText(text.value)});
  }
  return texts;
}
