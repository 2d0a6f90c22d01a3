// What a rollback must restore, as a sorted list of entries: files and folders (content, size,
// last-write time, attributes) and registry keys and values (type and bytes), for comparing the
// machine before a run with the machine after it.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace setup_run {

using Snapshot = std::map<std::string, std::string>;

// Every file and folder below `folder`, under the name `label`. Log files are the run's own record
// and are left out.
void AddFiles(const std::u16string& folder, const std::string& label, Snapshot* s);
// The key `path` under `root` in `view` (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY) with its values and
// subkeys, under the name `label`; nothing when it does not exist.
void AddKeys(HKEY root, const std::u16string& path, REGSAM view, const std::string& label, Snapshot* s);
// The entries that differ, each with both sides.
std::vector<std::string> Differences(const Snapshot& before, const Snapshot& after);
// Deletes the folder and everything in it, read-only files too.
void DeleteTree(const std::u16string& path);

}  // namespace setup_run
