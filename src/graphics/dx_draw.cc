#include "graphics/dx_draw.h"

#include <cstring>

#include "shell/log.h"

namespace {

struct SpriteFile {
  const char* path;
};

// Slot order: background, Play, Play hover, bar track, bar fill.
const SpriteFile kLauncherImages[] = {
    {"Sprites/launcher.png"},  {"Sprites/launcher1.png"}, {"Sprites/launcher2.png"},
    {"Sprites/launcher3.png"}, {"Sprites/launcher4.jpg"},
};

}  // namespace

CDxDraw::CDxDraw() : direct3d(nullptr), device(nullptr), font(nullptr), window(nullptr) {
  memset(&presentParams, 0, sizeof presentParams);
  for (CSprite*& slot : sprites) slot = nullptr;
}

// Releases nothing: Destroy has done that before the launcher object goes.
CDxDraw::~CDxDraw() {}

void CDxDraw::Fatal(const char* message) {
  HWND owner = window;
  MessageBoxA(owner, message, "ERROR!", MB_ICONWARNING);
  SendMessageA(owner, WM_DESTROY, 0, 0);  // this object is gone after it
}

int32_t CDxDraw::Create(HWND targetWindow, uint16_t width, uint16_t height) {
  window = targetWindow;
  direct3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (direct3d == nullptr) {
    Fatal("Direct3D create interface pointer is undefined.");
    return -1;
  }

  memset(&presentParams, 0, sizeof presentParams);
  presentParams.BackBufferWidth = width;
  presentParams.BackBufferHeight = height;
  presentParams.BackBufferFormat = D3DFMT_A8R8G8B8;
  presentParams.SwapEffect = D3DSWAPEFFECT_DISCARD;
  presentParams.hDeviceWindow = window;
  presentParams.Windowed = TRUE;

  // Hardware vertex processing, then mixed, then the reference device.
  const struct {
    D3DDEVTYPE type;
    DWORD behaviour;
  } kAttempts[] = {
      {D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING},
      {D3DDEVTYPE_HAL, D3DCREATE_MIXED_VERTEXPROCESSING},
      {D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
  };
  HRESULT result = D3DERR_NOTAVAILABLE;
  for (const auto& attempt : kAttempts) {
    result = direct3d->CreateDevice(D3DADAPTER_DEFAULT, attempt.type, window, attempt.behaviour,
                                    &presentParams, &device);
    if (!FAILED(result)) break;
    device = nullptr;
  }
  if (FAILED(result)) return result;

  D3DXCreateFontA(device, 13, 0, FW_NORMAL, 0, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Tahoma", &font);
  return 0;
}

void CDxDraw::LoadSprites() {
  for (int slot = 0; slot < 5; ++slot) {
    sprites[slot] = new CSprite(device, kLauncherImages[slot].path, 0, 0);
  }
}

bool CDxDraw::BeginFrame() {
  if (device == nullptr) {
    Fatal("Direct3D device is undefined.");
    return false;
  }
  if (FAILED(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0))) {
    Fatal("Failed to clear the backbuffer.");
    return false;
  }
  if (FAILED(device->BeginScene())) {
    Fatal("Failed to initiate the scene.");
    return false;
  }
  return true;
}

void CDxDraw::EndFrame() {
  device->EndScene();
  if (device->Present(nullptr, nullptr, nullptr, nullptr) != D3DERR_DEVICELOST) return;

  // Lost: wait until the device can be reset, tell the D3DX objects, reset,
  // and once it is back let them take up their resources again.
  for (;;) {
    Sleep(20);
    HRESULT level = device->TestCooperativeLevel();
    if (level == D3D_OK) {
      HandleReset();
      return;
    }
    if (level == D3DERR_DEVICELOST) return;  // not yet: the next frame tries again
    if (level == D3DERR_DRIVERINTERNALERROR) {
      Fatal("Internal driver error. This program will now exit.");
      return;
    }
    if (level == D3DERR_DEVICENOTRESET) {
      LogMessage("(TESTCODE) Handle Lost DxDraw Dump.");
      for (CSprite* slot : sprites) {
        if (slot != nullptr && slot->sprite != nullptr) slot->sprite->OnLostDevice();
      }
      if (font != nullptr) font->OnLostDevice();
      device->Reset(&presentParams);
    }
  }
}

void CDxDraw::HandleReset() {
  LogMessage("(TESTCODE) Handle Reset DxDraw Dump.");
  for (CSprite* slot : sprites) {
    if (slot != nullptr && slot->sprite != nullptr) slot->sprite->OnResetDevice();
  }
  if (font != nullptr) font->OnResetDevice();
}

void CDxDraw::Destroy() {
  LogMessage("(TESTCODE) Deleting DxDraw Dump.");
  for (CSprite*& slot : sprites) {
    delete slot;
    slot = nullptr;
  }
  if (font != nullptr) font->Release();
  if (device != nullptr) device->Release();
  if (direct3d != nullptr) direct3d->Release();
  font = nullptr;
  device = nullptr;
  direct3d = nullptr;
}
