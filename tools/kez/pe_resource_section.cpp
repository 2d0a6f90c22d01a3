#include "tools/kez/pe_resource_section.h"

#include <algorithm>
#include <cstring>

#include "package/package_format.h"
#include "runtime/errors.h"

namespace {

constexpr uint32_t kDebugEntrySize = 28;
constexpr uint32_t kDebugEntryAddress = 20;  // AddressOfRawData
constexpr uint32_t kDebugEntryOffset = 24;   // PointerToRawData
constexpr uint32_t kNewSectionFlags = 0x40000040;  // initialized data, readable
constexpr char kNewSectionName[] = ".rsrc";

uint64_t AlignUp(uint64_t value, uint32_t alignment) { return (value + alignment - 1) & ~uint64_t(alignment - 1); }

uint32_t Refuse(std::string* why, const std::string& text) {
  *why = text;
  return ERROR_BAD_EXE_FORMAT;
}

bool Overlaps(uint64_t begin, uint64_t end, uint64_t other_begin, uint64_t other_end) {
  return begin < other_end && other_begin < end;
}

// File offsets of the debug directory's entries; false when the directory cannot be read.
bool DebugEntries(const PeFile& image, std::vector<uint32_t>* offsets) {
  uint32_t rva, size;
  PeDirectory(image, kPeDirectoryDebug, &rva, &size);
  if (!size) return true;
  const uint8_t* entries = PeBytesAt(image, rva, size);
  if (!entries) return false;
  for (uint32_t k = 0; k + kDebugEntrySize <= size; k += kDebugEntrySize)
    offsets->push_back(uint32_t(entries - image.bytes.data()) + k);
  return true;
}

// True when nothing but `allowed` directories, no base relocation, no debug data and not the entry
// point lie at the addresses [begin, end).
bool AddressesFree(const PeFile& image, uint64_t begin, uint64_t end, uint32_t allowed) {
  for (uint32_t d = 0; d < image.directory_count; ++d) {
    uint32_t rva, size;
    PeDirectory(image, d, &rva, &size);
    if (d != kPeDirectorySecurity && !(allowed >> d & 1) && size && Overlaps(rva, uint64_t(rva) + size, begin, end))
      return false;
  }
  uint32_t entry_point = LoadLe32(image.bytes.data() + image.optional_offset + kPeOptionalEntryPoint);
  if (entry_point >= begin && entry_point < end) return false;
  std::vector<uint32_t> debug;
  if (!DebugEntries(image, &debug)) return false;
  for (uint32_t at : debug) {
    uint32_t address = LoadLe32(image.bytes.data() + at + kDebugEntryAddress);
    if (address >= begin && address < end) return false;
  }
  return PeRelocationsAvoid(image, begin, end);
}

// The section that the resource directory starts and that holds nothing else; -1 for none.
int ResourceSection(const PeFile& image) {
  uint32_t rva, size;
  PeDirectory(image, kPeDirectoryResource, &rva, &size);
  for (size_t k = 0; rva && k < image.sections.size(); ++k) {
    const PeSection& s = image.sections[k];
    if (s.rva == rva && s.raw_size && AddressesFree(image, s.rva, PeSectionEnd(s), 1u << kPeDirectoryResource))
      return int(k);
  }
  return -1;
}

// True when every section behind `index` may take another address: the base relocation section or
// a discardable one, with no directory but the relocations' pointing there.
bool SectionsBehindMove(const PeFile& image, size_t index) {
  uint32_t relocations, relocations_size;
  PeDirectory(image, kPeDirectoryRelocation, &relocations, &relocations_size);
  for (size_t k = index + 1; k < image.sections.size(); ++k) {
    const PeSection& s = image.sections[k];
    bool holds_relocations = relocations_size && relocations == s.rva && relocations_size <= PeSectionEnd(s) - s.rva;
    if (!holds_relocations && !(s.characteristics & kPeSectionDiscardable)) return false;
  }
  uint64_t begin = image.sections[index].rva;
  if (!AddressesFree(image, begin, UINT64_MAX, 1u << kPeDirectoryResource | 1u << kPeDirectoryRelocation)) return false;
  return !relocations_size || relocations >= PeSectionEnd(image.sections[index]);
}

uint32_t HeaderRoom(const PeFile& image, std::string* why) {
  uint32_t table_end = image.headers.section_table_offset + uint32_t(image.sections.size()) * kPeSectionHeaderSize;
  uint32_t limit = image.headers_size;
  for (const PeSection& s : image.sections)
    if (s.raw_size) limit = std::min(limit, s.raw_offset);
  if (table_end + kPeSectionHeaderSize > limit) return Refuse(why, "the header has no room for another section");
  const uint8_t* room = image.bytes.data() + table_end;
  if (std::any_of(room, room + kPeSectionHeaderSize, [](uint8_t b) { return b != 0; }))
    return Refuse(why, "the bytes behind the section table are in use");
  return ERROR_SUCCESS;
}

// What changes: the new section table, where the resources are, and which file bytes they replace.
struct Plan {
  ResourcePlacement placement;
  std::vector<PeSection> sections;
  size_t index;        // of the resource section in `sections`
  uint32_t cut_begin;  // the file bytes [cut_begin, cut_end) give way to the resources ...
  uint32_t cut_end;
  uint32_t placed_at;  // ... which start here (cut_begin, or the next file-aligned offset)
  std::vector<uint8_t> bytes;
  uint32_t raw_size;   // of the resources, file-aligned
  uint32_t relocations_delta;
};

void PlanInPlace(const PeFile& image, size_t index, bool move, Plan* plan) {
  const PeSection& old = image.sections[index];
  plan->placement = move ? ResourcePlacement::kSectionsMoved : ResourcePlacement::kInPlace;
  plan->sections = image.sections;
  plan->index = index;
  plan->cut_begin = plan->placed_at = old.raw_offset;
  plan->cut_end = old.raw_offset + old.raw_size;
  PeSection& s = plan->sections[index];
  s.virtual_size = uint32_t(plan->bytes.size());
  s.raw_size = plan->raw_size;
  bool last = index + 1 == image.sections.size();
  // Sections stay adjacent: a smaller section still reaches the next one.
  if (!move && !last && AlignUp(PeSectionEnd(s), image.section_alignment) < image.sections[index + 1].rva)
    s.virtual_size = image.sections[index + 1].rva - s.rva;
  uint32_t relocations, size;
  PeDirectory(image, kPeDirectoryRelocation, &relocations, &size);
  for (size_t k = index + 1; move && k < plan->sections.size(); ++k) {
    PeSection& next = plan->sections[k];
    uint32_t moved = uint32_t(AlignUp(PeSectionEnd(plan->sections[k - 1]), image.section_alignment));
    if (size && relocations == next.rva) plan->relocations_delta = moved - next.rva;
    next.rva = moved;
  }
}

void PlanNewSection(const PeFile& image, Plan* plan) {
  plan->placement = ResourcePlacement::kNewSection;
  plan->sections = image.sections;
  plan->index = plan->sections.size();
  plan->cut_begin = plan->cut_end = PeRawEnd(image);
  plan->placed_at = uint32_t(AlignUp(plan->cut_begin, image.file_alignment));
  PeSection s = {kNewSectionName, uint32_t(plan->bytes.size()), 0, plan->raw_size, plan->placed_at, kNewSectionFlags};
  s.rva = uint32_t(AlignUp(PeSectionEnd(image.sections.back()), image.section_alignment));
  plan->sections.push_back(s);
}

uint32_t MakePlan(const PeFile& image, std::vector<Resource>* resources, Plan* plan, std::string* why) {
  if (image.directory_count <= kPeDirectoryResource) return Refuse(why, "the optional header has no resource directory entry");
  int index = ResourceSection(image);
  if (index >= 0) {
    const PeSection& s = image.sections[size_t(index)];
    plan->bytes = ResourcesWrite(resources, s.rva);
    plan->raw_size = uint32_t(AlignUp(plan->bytes.size(), image.file_alignment));
    bool last = size_t(index) + 1 == image.sections.size();
    if (last || s.rva + plan->bytes.size() <= image.sections[size_t(index) + 1].rva) {
      PlanInPlace(image, size_t(index), false, plan);
      return ERROR_SUCCESS;
    }
    if (SectionsBehindMove(image, size_t(index))) {
      PlanInPlace(image, size_t(index), true, plan);
      return ERROR_SUCCESS;
    }
  }
  uint32_t err = HeaderRoom(image, why);
  if (err) return err;
  uint32_t rva = uint32_t(AlignUp(PeSectionEnd(image.sections.back()), image.section_alignment));
  plan->bytes = ResourcesWrite(resources, rva);
  plan->raw_size = uint32_t(AlignUp(plan->bytes.size(), image.file_alignment));
  PlanNewSection(image, plan);
  return ERROR_SUCCESS;
}

// Where a byte of the old file lands in the new one: before the cut it stays, behind it it moves
// with the resources' growth and, behind a removed certificate table, back by that table's size.
struct Shift {
  uint32_t cut_begin, cut_end;
  int64_t delta;
  uint32_t certificate, certificate_end;
  bool Inside(uint32_t offset) const { return offset >= cut_begin && offset < cut_end; }
  uint32_t operator()(uint32_t offset) const {
    if (offset < cut_end) return offset;
    int64_t moved = int64_t(offset) + delta;
    if (certificate_end > certificate && offset >= certificate_end) moved -= certificate_end - certificate;
    return uint32_t(moved);
  }
};

void WriteSectionTable(const PeFile& image, const Plan& plan, uint8_t* headers) {
  for (size_t k = 0; k < plan.sections.size(); ++k) {
    const PeSection& s = plan.sections[k];
    uint8_t* h = headers + image.headers.section_table_offset + k * kPeSectionHeaderSize;
    if (k >= image.sections.size()) memcpy(h, s.name.data(), s.name.size());
    StoreLe32(h + 8, s.virtual_size);
    StoreLe32(h + 12, s.rva);
    StoreLe32(h + 16, s.raw_size);
    StoreLe32(h + 20, s.raw_offset);
    StoreLe32(h + 36, s.characteristics);
  }
  StoreLe16(headers + image.file_header_offset + 2, uint16_t(plan.sections.size()));
}

void SetDirectory(const PeFile& image, uint8_t* bytes, uint32_t index, uint32_t address, uint32_t size) {
  if (index >= image.directory_count) return;
  StoreLe32(bytes + image.directories_offset + 8 * index, address);
  StoreLe32(bytes + image.directories_offset + 8 * index + 4, size);
}

// Offsets and sizes in the headers that the new layout changes.
uint32_t FixHeaders(const PeFile& image, const Plan& plan, const Shift& shift, std::vector<uint8_t>* out,
                    std::string* why) {
  uint8_t* b = out->data();
  WriteSectionTable(image, plan, b);
  const PeSection& last = plan.sections.back();
  StoreLe32(b + image.optional_offset + kPeOptionalImageSize, uint32_t(AlignUp(PeSectionEnd(last), image.section_alignment)));
  const PeSection* old = plan.index < image.sections.size() ? &image.sections[plan.index] : nullptr;
  uint32_t initialized = LoadLe32(b + image.optional_offset + kPeOptionalInitializedData);
  if (!old || (old->characteristics & kPeSectionInitializedData))
    initialized += plan.raw_size - (old ? old->raw_size : 0);
  StoreLe32(b + image.optional_offset + kPeOptionalInitializedData, initialized);
  SetDirectory(image, b, kPeDirectoryResource, plan.sections[plan.index].rva, uint32_t(plan.bytes.size()));
  uint32_t relocations, size;
  PeDirectory(image, kPeDirectoryRelocation, &relocations, &size);
  SetDirectory(image, b, kPeDirectoryRelocation, relocations + plan.relocations_delta, size);
  if (shift.certificate_end > shift.certificate) SetDirectory(image, b, kPeDirectorySecurity, 0, 0);
  if (image.symbol_table) StoreLe32(b + image.file_header_offset + 8, shift(image.symbol_table));

  std::vector<uint32_t> debug;
  DebugEntries(image, &debug);
  for (uint32_t at : debug) {
    uint32_t offset = LoadLe32(image.bytes.data() + at + kDebugEntryOffset);
    if (shift.Inside(offset)) return Refuse(why, "debug data lie inside the resource section");
    StoreLe32(b + shift(at) + kDebugEntryOffset, shift(offset));
  }
  uint32_t checksum = image.optional_offset + kPeOptionalChecksum;
  StoreLe32(b + checksum, PeComputeChecksum(b, out->size(), checksum));
  return ERROR_SUCCESS;
}

uint32_t CheckAppendedData(const PeFile& image, uint32_t* certificate, uint32_t* certificate_end, std::string* why) {
  uint32_t raw_end = PeRawEnd(image);
  uint32_t offset, size;
  PeDirectory(image, kPeDirectorySecurity, &offset, &size);
  *certificate = *certificate_end = 0;
  if (size) {
    if (offset < raw_end || uint64_t(offset) + size > image.bytes.size())
      return Refuse(why, "the certificate table lies inside the sections or beyond the file");
    *certificate = offset;
    *certificate_end = offset + size;
  }
  if (image.symbol_table &&
      (image.symbol_table < raw_end || (image.symbol_table >= *certificate && image.symbol_table < *certificate_end)))
    return Refuse(why, "the COFF symbol table lies inside the sections or the certificate table");
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t PeReplaceResources(const PeFile& image, std::vector<Resource>* resources, std::vector<uint8_t>* out,
                            PeRewriteReport* report, std::string* why) {
  out->clear();
  Shift shift = {};
  uint32_t err = CheckAppendedData(image, &shift.certificate, &shift.certificate_end, why);
  Plan plan = {};
  if (!err) err = MakePlan(image, resources, &plan, why);
  if (err) return err;
  shift.cut_begin = plan.cut_begin;
  shift.cut_end = plan.cut_end;
  shift.delta = int64_t(plan.placed_at) + plan.raw_size - plan.cut_end;

  const uint8_t* b = image.bytes.data();
  out->assign(b, b + plan.cut_begin);
  out->resize(plan.placed_at);
  out->insert(out->end(), plan.bytes.begin(), plan.bytes.end());
  out->resize(size_t(plan.placed_at) + plan.raw_size);
  uint32_t raw_end = PeRawEnd(image);
  out->insert(out->end(), b + plan.cut_end, b + raw_end);
  size_t tail = raw_end;
  if (shift.certificate_end > shift.certificate) {
    out->insert(out->end(), b + tail, b + shift.certificate);
    tail = shift.certificate_end;
  }
  out->insert(out->end(), b + tail, b + image.bytes.size());
  for (PeSection& s : plan.sections)
    if (s.raw_size && &s != &plan.sections[plan.index]) s.raw_offset = shift(s.raw_offset);
  err = FixHeaders(image, plan, shift, out, why);
  if (err) return err;
  report->placement = plan.placement;
  report->signature_removed = shift.certificate_end > shift.certificate;

  // The result must read back as an image with these resources.
  PeFile check;
  std::vector<Resource> again;
  std::string problem;
  if (PeFileParse(*out, &check, &problem) || ResourcesRead(check, &again, &problem) || again.size() != resources->size())
    return Refuse(why, "the rewritten image does not read back: " + problem);
  return ERROR_SUCCESS;
}
