// CDxInput: the system mouse through DirectInput 8, and the launcher's own
// pointer, which starts where the cursor stands on the screen, moves by the
// mouse's relative motion and stays within 0..width and 0..height.
#ifndef ORVANEL_INPUT_DX_INPUT_H_
#define ORVANEL_INPUT_DX_INPUT_H_

#include <cstdint>

#include "platform/win32.h"

class CDxInput {
 public:
  CDxInput();
  // Unacquires and gives up the device and the DirectInput object.
  virtual ~CDxInput();

  // 0 when the mouse is ready; nonzero when a set-up call failed. A first
  // read that fails (the device is not acquired yet) is no failure.
  uint8_t Create(HWND window, HINSTANCE instance, int16_t width, int16_t height);

  // Reads the mouse once. When the read fails (no focus, input lost) it asks
  // for the device again and reports what the last good read gave.
  void Poll(int16_t* x, int16_t* y, int16_t* wheelOut, BYTE* button0, BYTE* button1,
            BYTE* button2, BYTE* button3);

  IDirectInput8A* directInput;
  IDirectInputDevice8A* inputDevice;
  DIMOUSESTATE mouseState;
  HWND window;
  int16_t width;
  int16_t height;
  int16_t pointerX;
  int16_t pointerY;
  int16_t wheel;

 private:
  BYTE lastButtons[4];  // the buttons of the last good read
};

#endif  // ORVANEL_INPUT_DX_INPUT_H_
