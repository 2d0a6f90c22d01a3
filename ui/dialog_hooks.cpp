#include "ui/dialog_hooks.h"

#include "session/subsystem_hooks.h"
#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/dialog_engine.h"
#include "ui/dialog_resources.h"
#include "ui/progress_window.h"

namespace {

void CloseAllAndRelease() {
  DialogCloseAll();
  DialogResourcesRelease();
}

}  // namespace

void DialogEngineInstall() {
  DialogHooks* hooks = &Hooks()->dialogs;
  hooks->load_resources = DialogResourcesLoad;
  hooks->close_all_and_release = CloseAllAndRelease;
  hooks->refresh_conditions = ControlRefreshConditions;
  hooks->verify_progress = ProgressWindowVerify;
  hooks->small_icons_loaded = OptionTreeSetImages;
  ControlClassesRegister();
}
