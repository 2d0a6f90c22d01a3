// The dialog engine's resources, loaded once per run before the main window is created: visual
// themes, the hollow brush of transparent controls, the fonts of the font records (custom resource
// type 65) and the cache of solid brushes; and the conversions between points, 96-dpi pixels and
// screen pixels.
#pragma once
#include <windows.h>

#include <cstdint>

// Loads uxtheme.dll (remembering SetWindowTheme while themes are active), takes the hollow brush and
// creates a font for every font record, its height converted from points to pixels.
void DialogResourcesLoad();
// Deletes every cached brush and every font and clears the tables.
void DialogResourcesRelease();

// The font of the font record with resource id `id`, or null when there is none.
HFONT DialogFont(uint32_t id);
HBRUSH DialogHollowBrush();
// A control record's colour: bit 31 a system colour (index in bits 0-15), else an RGB value.
COLORREF DialogColour(uint32_t record_colour);
// The brush of a control record's colour: the system colour's brush, or a cached solid brush.
HBRUSH DialogBrushForColour(uint32_t record_colour);
// Switches visual styles off for the window (empty theme names) when themes are active.
void DialogDisableTheme(HWND window);

// Points to pixels (× vertical pixels per inch / 72) and 96-dpi pixels to screen pixels.
int32_t DialogPointsToPixels(int32_t points);
int32_t DialogScaleX(int32_t pixels96);
int32_t DialogScaleY(int32_t pixels96);
