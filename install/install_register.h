// Registers the installation operations with the class registry and the session's hooks (once, at
// start-up).
#pragma once

void InstallRegister();
