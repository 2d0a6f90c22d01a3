#include "install/file_decision.h"

#include "runtime/trace.h"

namespace {

int Order(uint64_t a, uint64_t b) { return a < b ? -1 : a > b ? 1 : 0; }

FileDecision Compared(const FileRecord& packaged, const FileRecord& existing) {
  if (FileRecordCompare(packaged, existing) < 1) return {kDecisionKeep, TR("I0020")};
  return {kDecisionReplace, TR("I0019")};
}

}  // namespace

int FileRecordCompare(const FileRecord& a, const FileRecord& b) {
  if (int order = Order(a.product_version, b.product_version)) return order;
  if (int order = Order(a.file_version, b.file_version)) return order;
  if ((a.product_version || a.file_version) && a.size == b.size) return 0;
  return Order(a.last_write_time, b.last_write_time);
}

FileDecision FileDecide(int32_t mode, const FileRecord& packaged, const FileRecord* existing) {
  if (mode <= 0) return {kDecisionSkip, TR("I0021")};
  if (!existing) return mode == 2 ? FileDecision{kDecisionSkip, TR("I0039")} : FileDecision{kDecisionInstall, TR("I0016")};
  switch (mode) {
    case 1:
      return {kDecisionKeep, TR("I0017")};
    case 2:
    case 4:
      return Compared(packaged, *existing);
    case 3:
      if (existing->last_write_time > existing->creation_time) return {kDecisionKeep, TR("I0023")};
      return Compared(packaged, *existing);
    case 5:
      return {kDecisionReplace, TR("I0018")};
    case 6:
    case 7:
      return {kDecisionSkip, TR("I0076")};
    default:
      return {kDecisionReplace, 0};
  }
}
