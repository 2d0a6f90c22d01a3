// Progress publishing: the runner and the long operations publish the current texts and the
// position in predefined variables (501 main text, 500 detail text, 504 position in thousandths,
// 527 total and 528 done amount of the current step); the controls of the progress pages show
// whatever those variables hold. Without a loaded database only the state is kept.
#pragma once
#include <cstdint>

struct ObjectTable;

constexpr int32_t kProgressEnd = 1000;

// Loads string `id` in the current language into variable 501, empties 500, writes an I record
// with the text and pumps pending messages.
void ProgressMainText(uint32_t id);
// The same with a text that is already loaded (and substituted).
void ProgressMainTextDirect(const char16_t* text);
// Loads string `id` into variable 500 and pumps.
void ProgressDetailText(uint32_t id);
// Clears the state and empties 500, 501 and 504; pumps.
void ProgressReset();
// Sets the position: with `wrap` modulo 1000, otherwise clamped to -1000 .. 1000. Variable 504 is
// written only when the position changes. Returns the previous position.
int32_t ProgressSetPosition(int32_t value, bool wrap);
// The current position plus `delta` (clamped).
int32_t ProgressAdvance(int32_t delta);
int32_t ProgressPosition();
// A step from the current position to the current position plus `size`; a changed total is
// published in 527, a non-zero done amount is reset to 0 (528).
void ProgressBeginStep(int32_t size, uint64_t total);
