// The dialog engine: shows a dialog object (class "dlg ") of the setup database as a window made
// from its template, binds its control objects, runs its event sequences and ends it with the
// button that closed it. The wizard is a series of such dialogs run by the dialog actions.
#pragma once
#include <windows.h>

#include <cstdint>

#include "database/object_table.h"

// Dialog object slots (dlg).
enum : unsigned {
  kDialogControls = 8,    // id list: the control objects
  kDialogEvents = 10,     // id list: the event sequences
  kDialogTemplate = 12,   // u32: the template's resource id
  kDialogPlacement = 13,  // int: -1 centred on the work area, else a placement value
  kDialogWindow = 14,     // run time: the window while it is open
  kDialogWait = 15,       // run time: set while a modal wait runs
  kDialogEndCode = 16,    // run time: the id of the button that closed it (-1: none)
};

// The event key of an event sequence (aseq): (control id << 16) | event code.
constexpr unsigned kSequenceEventKey = 11;
// The system-menu command of the About box.
constexpr UINT kAboutCommand = 0xD000;

// Shows the dialog's page. Without `wait` the window stays open as a modeless page and the result
// is 0; with it the owner is disabled and messages are pumped until a button closes the dialog
// (its id is the result; -1 when waiting for messages failed or the run is quitting). -1 when no
// dialog is given, its window is open already, or the window cannot be created.
int32_t DialogRun(SetupObject* dialog, ObjectTable* database, HWND owner, bool wait);
// The dialog's open window, or null.
HWND DialogWindowOf(const SetupObject* dialog);
// Destroys every dialog window that is still open (modal waits end with -1).
void DialogCloseAll();
// Sends `dialog` the event `code` of control `control_id` (0: the dialog itself); returns the result
// of the event sequence that ran, or -1 when none did.
LRESULT DialogSendEvent(HWND dialog, HWND sender, uint32_t control_id, uint16_t code, intptr_t value1,
                        intptr_t value2);
