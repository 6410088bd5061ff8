// DirectInput fakes: a mouse whose reads are scripted, handed out through
// the layer's seam.
#ifndef ORVANEL_TESTS_SUPPORT_FAKE_DINPUT_H_
#define ORVANEL_TESTS_SUPPORT_FAKE_DINPUT_H_

#include <deque>

#include "platform/linux/dinput.h"

// A mouse whose reads are scripted: each read takes the next state, or
// fails where the script says so; past the script every read fails.
class ScriptedMouse final : public IDirectInputDevice8A {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override {
    ++released;
    return 0;
  }
  HRESULT STDMETHODCALLTYPE Acquire() override {
    ++acquires;
    return DI_OK;
  }
  HRESULT STDMETHODCALLTYPE Unacquire() override {
    ++unacquires;
    return DI_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD, LPVOID data) override {
    if (reads.empty()) return DIERR_NOTACQUIRED;
    Read next = reads.front();
    reads.pop_front();
    if (!next.ok) return DIERR_INPUTLOST;
    *static_cast<DIMOUSESTATE*>(data) = next.state;
    return DI_OK;
  }
  HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT) override { return formatResult; }
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD flags) override {
    cooperativeFlags = flags;
    return levelResult;
  }

  struct Read {
    bool ok;
    DIMOUSESTATE state;
  };
  std::deque<Read> reads;
  HRESULT formatResult = DI_OK, levelResult = DI_OK;
  DWORD cooperativeFlags = 0;
  int acquires = 0, unacquires = 0, released = 0;
};

class ScriptedInput final : public IDirectInput8A {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override {
    ++released;
    return 0;
  }
  HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID, LPDIRECTINPUTDEVICE8A* out, LPUNKNOWN) override {
    *out = deviceResult == DI_OK ? &mouse : nullptr;
    return deviceResult;
  }
  ScriptedMouse mouse;
  HRESULT deviceResult = DI_OK;
  int released = 0;
};

class ScriptedDinput : public platform::DinputApi {
 public:
  HRESULT DirectInput8Create(HINSTANCE, DWORD, REFIID, LPVOID* out) override {
    *out = createResult == DI_OK ? static_cast<IDirectInput8A*>(&input) : nullptr;
    return createResult;
  }
  ScriptedInput input;
  HRESULT createResult = DI_OK;
};

#endif  // ORVANEL_TESTS_SUPPORT_FAKE_DINPUT_H_
