// Cleaning of a path built from texts that may hold characters a file name cannot take (log names,
// folders typed into the folder browser, working files).
#pragma once

// In place: "/" becomes "\"; characters below 32, '"', '|', '<', '>', '*', '?', 0x7F and every
// colon that is not the second character become "_"; of two separators in a row after the first
// character one is removed, so the two leading backslashes of a network path survive.
void PathClean(char16_t* path);
