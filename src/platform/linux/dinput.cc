// The system mouse on SDL2. Motion is the change of the global cursor
// position between two reads, so it counts while the cursor is outside the
// window too; the wheel comes from SDL's wheel events.
#include "platform/linux/dinput.h"

#include <SDL.h>

#include "platform/linux/com.h"
#include "platform/linux/window.h"

const DIDATAFORMAT c_dfDIMouse = {24, sizeof(DIMOUSESTATE)};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF,
                            {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2,
                                {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};

namespace platform {
namespace {

class SdlMouse final : public Counted<IDirectInputDevice8A> {
 public:
  SdlMouse() { SDL_AddEventWatch(WatchWheel, this); }
  ~SdlMouse() override { SDL_DelEventWatch(WatchWheel, this); }

  HRESULT STDMETHODCALLTYPE Acquire() override {
    if (!formatSet_ || window_ == nullptr) return DIERR_INVALIDPARAM;
    if (!HasFocus()) return DIERR_OTHERAPPHASPRIO;
    if (!acquired_) {
      GlobalMouseState(&lastX_, &lastY_);
      wheel_ = 0;
      acquired_ = true;
    }
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE Unacquire() override {
    acquired_ = false;
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override {
    if (size != sizeof(DIMOUSESTATE) || data == nullptr) return DIERR_INVALIDPARAM;
    if (!acquired_) return DIERR_NOTACQUIRED;
    if (!HasFocus()) {
      acquired_ = false;  // the foreground went elsewhere
      return DIERR_INPUTLOST;
    }
    int x, y;
    Uint32 buttons = GlobalMouseState(&x, &y);
    DIMOUSESTATE* state = static_cast<DIMOUSESTATE*>(data);
    state->lX = x - lastX_;
    state->lY = y - lastY_;
    state->lZ = wheel_;
    lastX_ = x;
    lastY_ = y;
    wheel_ = 0;
    const Uint32 kOrder[4] = {SDL_BUTTON_LMASK, SDL_BUTTON_RMASK, SDL_BUTTON_MMASK,
                              SDL_BUTTON_X1MASK};
    for (int i = 0; i < 4; ++i) state->rgbButtons[i] = (buttons & kOrder[i]) ? 0x80 : 0;
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override {
    if (format != &c_dfDIMouse) return DIERR_INVALIDPARAM;
    formatSet_ = true;
    return DI_OK;
  }

  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override {
    if (SdlWindowOf(window) == nullptr) return DIERR_INVALIDPARAM;
    if ((flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE)) == 0 ||
        (flags & (DISCL_FOREGROUND | DISCL_BACKGROUND)) == 0) {
      return DIERR_INVALIDPARAM;
    }
    window_ = window;
    return DI_OK;
  }

 private:
  bool HasFocus() const {
    SDL_Window* window = SdlWindowOf(window_);
    return window != nullptr && (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) != 0;
  }

  static int SDLCALL WatchWheel(void* context, SDL_Event* event) {
    SdlMouse* mouse = static_cast<SdlMouse*>(context);
    // DirectInput counts 120 per notch, as WHEEL_DELTA.
    if (event->type == SDL_MOUSEWHEEL && mouse->acquired_) mouse->wheel_ += event->wheel.y * 120;
    return 0;
  }

  HWND window_ = nullptr;
  bool formatSet_ = false;
  bool acquired_ = false;
  int lastX_ = 0, lastY_ = 0;
  LONG wheel_ = 0;
};

class SdlDirectInput final : public Counted<IDirectInput8A> {
 public:
  HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8A* device,
                                         LPUNKNOWN) override {
    if (device == nullptr) return DIERR_INVALIDPARAM;
    *device = nullptr;
    if (!IsEqualGUID(guid, GUID_SysMouse)) return DIERR_DEVICENOTREG;
    *device = new SdlMouse();
    return DI_OK;
  }
};

class SdlDinput : public DinputApi {
 public:
  HRESULT DirectInput8Create(HINSTANCE, DWORD version, REFIID riid, LPVOID* out) override {
    if (out == nullptr) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (version != DIRECTINPUT_VERSION || !IsEqualIID(riid, IID_IDirectInput8A)) {
      return DIERR_INVALIDPARAM;
    }
    if (!StartVideo()) return E_FAIL;
    *out = static_cast<IDirectInput8A*>(new SdlDirectInput());
    return DI_OK;
  }
};

DinputApi* installed = nullptr;

}  // namespace

DinputApi* DinputApi::Default() {
  static SdlDinput dinput;
  return &dinput;
}
DinputApi* DinputApi::Current() { return installed != nullptr ? installed : Default(); }
DinputApi* DinputApi::Install(DinputApi* api) {
  DinputApi* previous = Current();
  installed = api;
  return previous;
}

}  // namespace platform

HRESULT WINAPI DirectInput8Create(HINSTANCE instance, DWORD version, REFIID riid, LPVOID* out,
                                  LPUNKNOWN) {
  return platform::DinputApi::Current()->DirectInput8Create(instance, version, riid, out);
}
