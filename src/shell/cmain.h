// CMain, the launcher object: one per process, created by the entry point
// once the window exists, reached through mainObject, deleted by Shutdown.
#ifndef ORVANEL_SHELL_CMAIN_H_
#define ORVANEL_SHELL_CMAIN_H_

#include <cstdint>

#include "graphics/dx_draw.h"
#include "input/dx_input.h"
#include "platform/win32.h"
#include "update/download_file.h"

class CMain {
 public:
  CMain();
  virtual ~CMain();

  // The gestures of one frame: a press records the anchor, the left button
  // held drags the window, a release of every button over Play starts the
  // game once the update is complete.
  void HandlePointer(int16_t x, int16_t y, BYTE left, BYTE right);
  // Hides the launcher, starts Orvanel.exe and waits until it exits; then
  // the launcher shuts down. A client that cannot start is a fatal error.
  void LaunchGame();
  static bool PointerOnPlay(int16_t x, int16_t y);

  HWND window;  // the launcher window, set by InitLauncher
  int16_t screenWidth;
  int16_t screenHeight;
  // Scratch line for the screen's formatted texts; the longest is the name
  // of the file in transfer (up to 259 characters). Every user writes it
  // before reading it.
  char screenText[512];
  CDxDraw graphics;  // the device, the font and the sprites
  CDxInput mouse;    // the DirectInput mouse and the launcher's pointer
  // The update worker's object: created here, which starts the worker;
  // deleted by Shutdown, never by this destructor.
  CDownloadFile* download;
  int8_t gestureState;  // 0: idle; 1: a button is down
  int16_t anchorX;
  int16_t anchorY;
};

#endif  // ORVANEL_SHELL_CMAIN_H_
