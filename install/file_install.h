// File installation: a115 Install files and a116 Remove files, whose finalize and rollback are the
// same operations (rollback copies deleted, or every processed file put back, last first).
#pragma once

void FileActionsRegister();
