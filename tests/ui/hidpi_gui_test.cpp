// Every standard page at 192 dpi (200 %) on a screen of that class, saved as screenshots; no page
// may reach past the screen.
#include <gtest/gtest.h>

#include "tests/ui/wizard_runs.h"

TEST(Wizard, EveryPageAt192Dpi) { wizard_test::ShootEveryPage(192); }
