// How the dialog engine plugs into the run: the dialog hooks of the start-up sequence and the
// finalisation (resources, closing, condition refresh, verification progress) and the control
// classes' method tables.
#pragma once

// Fills Hooks()->dialogs and registers the control classes (after the class table is registered).
void DialogEngineInstall();
