// The session's working files in the product folder: "Setup.ico" and "Readme.txt", the runtime
// copy "Setup.exe" and the support files, which a fresh installation stages in the session
// temporary folder and the file journal installs once the product folder is final.
#pragma once

// Fills the working-file entries of the subsystem hooks.
void WorkingFilesRegister();
