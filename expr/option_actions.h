// The actions of the options and their place in the run:
//   a105 Check installation options: computes the actions and sizes again (result 0);
//   a207 Set option state: applies its request (slot 23) to the option it names (slot 22); an
//        unknown option writes W1613 and gives result 2, a change I1612 (request, name, state);
// and the preparation of the installation (a100), which decides every item's effective mode.
#pragma once

// Registers the method tables of a105 and a207 (after the class table is registered) and the
// options' entry of the subsystem hooks.
void OptionsRegister();
