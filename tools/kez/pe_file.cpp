#include "tools/kez/pe_file.h"

#include <algorithm>
#include <cstring>

#include "package/package_format.h"
#include "runtime/errors.h"

namespace {

constexpr uint32_t kSymbolSize = 18;
constexpr uint32_t kMaximumAlignment = 0x10000;
constexpr uint32_t kRelocationPage = 4096;

bool IsPowerOfTwo(uint32_t value) { return value && !(value & (value - 1)); }

uint32_t Refuse(std::string* why, const std::string& text) {
  *why = text;
  return ERROR_BAD_EXE_FORMAT;
}

// "/123": the name lies at offset 123 of the COFF string table, which follows the symbols.
std::string LongName(const PeFile& f, const std::string& name) {
  if (name.size() < 2 || name[0] != '/' || !f.symbol_table) return name;
  uint64_t offset = 0;
  for (size_t k = 1; k < name.size(); ++k) {
    if (name[k] < '0' || name[k] > '9') return name;
    offset = offset * 10 + uint64_t(name[k] - '0');
  }
  uint32_t symbols = LoadLe32(f.bytes.data() + f.file_header_offset + 12);
  uint64_t table = f.symbol_table + uint64_t(symbols) * kSymbolSize;
  if (table + 4 > f.bytes.size()) return name;
  uint64_t table_size = LoadLe32(f.bytes.data() + table);
  uint64_t end = std::min<uint64_t>(table + table_size, f.bytes.size());
  std::string resolved;
  for (uint64_t at = table + offset; at < end && f.bytes[at]; ++at) resolved += char(f.bytes[at]);
  return resolved.empty() ? name : resolved;
}

uint32_t ReadSections(PeFile* f, std::string* why) {
  const uint8_t* b = f->bytes.data();
  for (uint32_t k = 0; k < f->headers.section_count; ++k) {
    const uint8_t* h = b + f->headers.section_table_offset + k * kPeSectionHeaderSize;
    PeSection s;
    s.name.assign(reinterpret_cast<const char*>(h), strnlen(reinterpret_cast<const char*>(h), 8));
    s.name = LongName(*f, s.name);
    s.virtual_size = LoadLe32(h + 8);
    s.rva = LoadLe32(h + 12);
    s.raw_size = LoadLe32(h + 16);
    s.raw_offset = LoadLe32(h + 20);
    s.characteristics = LoadLe32(h + 36);
    if (s.raw_size && (s.raw_offset < f->headers_size || uint64_t(s.raw_offset) + s.raw_size > f->bytes.size()))
      return Refuse(why, "section " + s.name + " has raw data outside the file");
    if (!f->sections.empty() && s.rva < PeSectionEnd(f->sections.back()))
      return Refuse(why, "section " + s.name + " is not above the section before it");
    if (PeSectionEnd(s) > UINT32_MAX) return Refuse(why, "section " + s.name + " ends beyond 4 GiB");
    f->sections.push_back(s);
  }
  if (f->sections.empty()) return Refuse(why, "the image has no sections");
  if (f->sections.front().rva < f->headers_size) return Refuse(why, "the first section overlaps the headers");
  // Raw data in file order must not overlap.
  std::vector<const PeSection*> by_offset;
  for (const PeSection& s : f->sections)
    if (s.raw_size) by_offset.push_back(&s);
  std::sort(by_offset.begin(), by_offset.end(),
            [](const PeSection* a, const PeSection* b) { return a->raw_offset < b->raw_offset; });
  for (size_t k = 1; k < by_offset.size(); ++k)
    if (uint64_t(by_offset[k - 1]->raw_offset) + by_offset[k - 1]->raw_size > by_offset[k]->raw_offset)
      return Refuse(why, "sections " + by_offset[k - 1]->name + " and " + by_offset[k]->name + " share raw data");
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t PeFileParse(std::vector<uint8_t> bytes, PeFile* file, std::string* why) {
  PeFile& f = *file;
  f = PeFile{};
  f.bytes = std::move(bytes);
  if (PeParseHeaders(f.bytes.data(), f.bytes.size(), &f.headers)) return Refuse(why, "no PE headers");
  const uint8_t* b = f.bytes.data();
  f.file_header_offset = f.headers.pe_offset + 4;
  f.optional_offset = f.file_header_offset + 20;
  uint32_t optional_size = LoadLe16(b + f.file_header_offset + 16);
  uint32_t directories = f.headers.magic == kPeMagic32 ? 96 : 112;
  f.directories_offset = f.optional_offset + directories;
  uint32_t count = LoadLe32(b + f.directories_offset - 4);
  f.directory_count = std::min<uint32_t>({count, (optional_size - directories) / 8, kPeDirectoryMaximum});
  f.section_alignment = LoadLe32(b + f.optional_offset + kPeOptionalSectionAlignment);
  f.file_alignment = LoadLe32(b + f.optional_offset + kPeOptionalFileAlignment);
  f.headers_size = LoadLe32(b + f.optional_offset + kPeOptionalHeadersSize);
  f.symbol_table = LoadLe32(b + f.file_header_offset + 8);
  if (!IsPowerOfTwo(f.file_alignment) || !IsPowerOfTwo(f.section_alignment) || f.file_alignment > kMaximumAlignment ||
      f.section_alignment < f.file_alignment)
    return Refuse(why, "the section or file alignment is not a power of two up to 64 KiB");
  uint64_t table_end = f.headers.section_table_offset + uint64_t(f.headers.section_count) * kPeSectionHeaderSize;
  if (f.headers_size < table_end || f.headers_size > f.bytes.size())
    return Refuse(why, "the header size does not cover the section table");
  if (f.symbol_table >= f.bytes.size()) f.symbol_table = 0;  // a stale pointer names no table
  return ReadSections(&f, why);
}

void PeDirectory(const PeFile& file, uint32_t index, uint32_t* address, uint32_t* size) {
  *address = *size = 0;
  if (index >= file.directory_count) return;
  const uint8_t* entry = file.bytes.data() + file.directories_offset + 8 * index;
  *address = LoadLe32(entry);
  *size = LoadLe32(entry + 4);
}

uint64_t PeSectionEnd(const PeSection& section) {
  return uint64_t(section.rva) + (section.virtual_size ? section.virtual_size : section.raw_size);
}

const uint8_t* PeBytesAt(const PeFile& file, uint32_t rva, uint32_t size) {
  for (const PeSection& s : file.sections) {
    uint64_t span = std::min<uint64_t>(s.raw_size, PeSectionEnd(s) - s.rva);
    if (rva >= s.rva && uint64_t(rva - s.rva) + size <= span) return file.bytes.data() + s.raw_offset + (rva - s.rva);
  }
  return nullptr;
}

uint32_t PeRawEnd(const PeFile& file) {
  uint32_t end = file.headers_size;
  for (const PeSection& s : file.sections)
    if (s.raw_size) end = std::max(end, s.raw_offset + s.raw_size);
  return end;
}

bool PeRelocationsAvoid(const PeFile& file, uint64_t begin, uint64_t end) {
  uint32_t rva, size;
  PeDirectory(file, kPeDirectoryRelocation, &rva, &size);
  if (!size) return true;
  const uint8_t* blocks = PeBytesAt(file, rva, size);
  if (!blocks) return false;
  for (uint32_t at = 0; at < size;) {
    if (size - at < 8) return false;
    uint32_t page = LoadLe32(blocks + at);
    uint32_t length = LoadLe32(blocks + at + 4);
    if (length < 8 || length > size - at) return false;
    if (page < end && uint64_t(page) + kRelocationPage > begin) return false;
    at += length;
  }
  return true;
}

bool PeHasDebugSections(const PeFile& file) {
  for (const PeSection& s : file.sections)
    if (s.name.rfind(".debug", 0) == 0 || s.name.rfind(".zdebug", 0) == 0) return true;
  return false;
}

uint32_t PeComputeChecksum(const uint8_t* bytes, size_t size, uint32_t checksum_offset) {
  auto byte = [&](size_t at) -> uint32_t { return at - checksum_offset < 4 ? 0 : bytes[at]; };
  uint64_t sum = 0;
  for (size_t at = 0; at < size; at += 2) {
    sum += byte(at) | (at + 1 < size ? byte(at + 1) << 8 : 0);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return uint32_t(sum + size);
}
