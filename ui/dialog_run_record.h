// The record of one open dialog window of the engine (internal to the dialog engine).
#pragma once
#include <windows.h>

#include <cstdint>

#include "database/object_table.h"
#include "ui/control_records.h"

struct DialogRunRecord {
  SetupObject* dialog;
  ObjectTable* database;
  HWND window;
  bool modal;
  HICON big_icon;
  HICON small_icon;
  int32_t placing;              // while the dialog places itself the main window does not follow it
  int32_t handling;             // messages on the stack that may run event sequences
  bool closing;                 // the end code is stored; the window goes when `handling` is back at 0
  bool destroying;              // WM_DESTROY arrived: the notifications of the dying controls destroy nothing
  ControlRecordView* records;   // the template's control records, attached to the controls
  uint32_t record_count;
  DialogRunRecord* next;        // the list of running dialogs, newest first
};

// The initialisation of WM_INITDIALOG; returns its result (false when the focus was set).
INT_PTR DialogInitialise(HWND window, DialogRunRecord* run, HWND focus);
