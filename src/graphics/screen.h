// The launcher screen, composed every frame from the launcher object's
// parts: background, Play button, update status with its bars, installed
// version, pointer readout. It also reads the mouse and runs the pointer
// gestures, so that input, gestures and drawing keep one order.
#ifndef ORVANEL_GRAPHICS_SCREEN_H_
#define ORVANEL_GRAPHICS_SCREEN_H_

#include "platform/win32.h"

const D3DCOLOR kTextColour = 0xFF8FB8CC;
const D3DCOLOR kPointerColour = 0xFFFFFFFF;

// Works on mainObject. Returns early, drawing nothing more, when the
// gestures have shut the launcher down (the game client failed to start).
void DrawScreen();

// Measures the text from (left, top) and draws it there.
void DrawAnchoredText(const char* text, int left, int top, D3DCOLOR colour);
// Draws the text in the column from x 45 to 620, right-aligned, broken into
// lines where it is wider than the column.
void DrawColumnText(const char* text, int top);

// The overall figure of the second bar, in percent: the files before the
// current one and the current one's part, over all files. 0 while no file
// has started or when there are no files.
int OverallPercent(int filesDone, int filesTotal, int percent);

#endif  // ORVANEL_GRAPHICS_SCREEN_H_
