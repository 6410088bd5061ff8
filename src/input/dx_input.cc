#include "input/dx_input.h"

#include <cstring>

CDxInput::CDxInput()
    : directInput(nullptr),
      inputDevice(nullptr),
      window(nullptr),
      width(0),
      height(0),
      pointerX(0),
      pointerY(0),
      wheel(0) {
  memset(&mouseState, 0, sizeof mouseState);
  memset(lastButtons, 0, sizeof lastButtons);
}

CDxInput::~CDxInput() {
  if (inputDevice != nullptr) {
    inputDevice->Unacquire();
    inputDevice->Release();
  }
  if (directInput != nullptr) directInput->Release();
}

uint8_t CDxInput::Create(HWND targetWindow, HINSTANCE instance, int16_t maxX, int16_t maxY) {
  window = targetWindow;
  width = maxX;
  height = maxY;

  // Screen coordinates: the first good read clamps them into the window.
  POINT cursor = {0, 0};
  GetCursorPos(&cursor);
  pointerX = static_cast<int16_t>(cursor.x);
  pointerY = static_cast<int16_t>(cursor.y);

  void* created = nullptr;
  if (DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8A, &created, nullptr) !=
      DI_OK) {
    return 1;
  }
  directInput = static_cast<IDirectInput8A*>(created);
  if (directInput->CreateDevice(GUID_SysMouse, &inputDevice, nullptr) != DI_OK) {
    inputDevice = nullptr;
    return 1;
  }
  if (inputDevice->SetDataFormat(&c_dfDIMouse) != DI_OK) return 1;
  if (inputDevice->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND) != DI_OK) {
    return 1;
  }
  if (inputDevice->GetDeviceState(sizeof mouseState, &mouseState) != DI_OK) {
    inputDevice->Acquire();
  }
  return 0;
}

void CDxInput::Poll(int16_t* x, int16_t* y, int16_t* wheelOut, BYTE* button0, BYTE* button1,
                    BYTE* button2, BYTE* button3) {
  DIMOUSESTATE state;
  if (inputDevice->GetDeviceState(sizeof state, &state) == DI_OK) {
    mouseState = state;
    pointerX = static_cast<int16_t>(pointerX + static_cast<int16_t>(state.lX));
    pointerY = static_cast<int16_t>(pointerY + static_cast<int16_t>(state.lY));
    wheel = static_cast<int16_t>(state.lZ);
    if (pointerX < 0) pointerX = 0;
    if (pointerY < 0) pointerY = 0;
    if (pointerX > width) pointerX = width;
    if (pointerY > height) pointerY = height;
    memcpy(lastButtons, state.rgbButtons, sizeof lastButtons);
  } else {
    inputDevice->Acquire();  // asked again every frame until it is granted
  }
  *x = pointerX;
  *y = pointerY;
  *wheelOut = wheel;
  *button0 = lastButtons[0];
  *button1 = lastButtons[1];
  *button2 = lastButtons[2];
  *button3 = lastButtons[3];
}
