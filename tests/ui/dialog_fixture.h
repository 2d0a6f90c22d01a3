// The runner's small world (tests/actions/runner_fixture.h) with a user interface: a session at
// user-interface level 0, a hidden main window, the dialog engine's resources, classes and hooks,
// the product variables the pages show, and a script of steps that a timer performs while a page
// waits (pressing buttons, answering questions).
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "tests/actions/runner_fixture.h"

namespace dialog_test {

constexpr uint32_t kTagRunDialog = TagOf("a201");
constexpr uint32_t kTagEndDialog = TagOf("a202");
constexpr uint32_t kTagWindowState = TagOf("a203");

// One step of a script: true when it is done (the next step follows on a later tick).
using Step = std::function<bool()>;

class DialogTest : public runner_test::RunnerTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  SetupObject* Dialog(uint64_t id, uint32_t template_id, const std::vector<uint64_t>& controls = {},
                      const std::vector<uint64_t>& events = {});
  SetupObject* Control(uint32_t tag, uint64_t id, uint32_t control_id, const char16_t* variable = nullptr,
                       const char16_t* condition = nullptr, uint32_t flags = 0);
  SetupObject* EventSequence(uint64_t id, uint32_t control_id, uint16_t code, const std::vector<uint64_t>& actions);
  SetupObject* RunDialogAction(uint64_t id, uint64_t dialog, bool modal);
  SetupObject* EndDialogAction(uint64_t id, uint64_t dialog, int32_t code);
  // Runs the action `id` on its own; its result as the action gave it.
  int32_t RunOne(uint64_t action_id);

  // The steps a timer performs, one after the other, while pages wait; a script that is not done
  // after 15 seconds closes every dialog and fails the test.
  void Script(std::vector<Step> steps);
  bool ScriptDone() const;

  HWND Window(uint64_t dialog_id);
  HWND Item(uint64_t dialog_id, int control_id);
  // Steps: press a button of the page once it is open; answer the next message box.
  Step Press(uint64_t dialog_id, int control_id);
  Step Answer(int button);
  std::u16string Text(HWND window);

  HWND main_window_ = nullptr;
};

}  // namespace dialog_test
