// The folder actions: a142 Resolving installation paths (folders sorted by variable, then every
// folder, file and registry key item gets its concrete path), a135 Creating folders, a136 Removing
// folders (depth by removal mode, retried empty-only when the installation is finalized).
#pragma once

void FolderActionsRegister();
