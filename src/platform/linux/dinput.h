// DirectInput 8's system mouse on SDL2: relative motion of the system mouse
// (also while the cursor is outside the window), the wheel and four buttons.
// The device can be acquired only while the launcher window has the input
// focus, and losing the focus takes the acquisition away, as
// DISCL_FOREGROUND does.
#ifndef ORVANEL_PLATFORM_LINUX_DINPUT_H_
#define ORVANEL_PLATFORM_LINUX_DINPUT_H_

#include "platform/linux/types.h"
#include "platform/linux/urlmon.h"  // IUnknown, GUID

#define DIRECTINPUT_VERSION 0x0800
#define DI_OK S_OK
#define DIERR_INPUTLOST ((HRESULT)0x8007001E)
#define DIERR_NOTACQUIRED ((HRESULT)0x8007000C)
#define DIERR_INVALIDPARAM ((HRESULT)0x80070057)
#define DIERR_OTHERAPPHASPRIO ((HRESULT)0x80070005)
#define DIERR_DEVICENOTREG ((HRESULT)0x80040154)
#define DISCL_EXCLUSIVE 0x1
#define DISCL_NONEXCLUSIVE 0x2
#define DISCL_FOREGROUND 0x4
#define DISCL_BACKGROUND 0x8

typedef struct _DIMOUSESTATE {
  LONG lX;
  LONG lY;
  LONG lZ;
  BYTE rgbButtons[4];
} DIMOUSESTATE;

// Only its identity matters here: the layer knows the one format it offers.
typedef struct _DIDATAFORMAT {
  DWORD dwSize;
  DWORD dwDataSize;
} DIDATAFORMAT;
typedef const DIDATAFORMAT* LPCDIDATAFORMAT;

extern const DIDATAFORMAT c_dfDIMouse;
extern const GUID GUID_SysMouse;
extern const IID IID_IDirectInput8A;
typedef const GUID& REFGUID;

struct IDirectInputDevice8A : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Acquire() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unacquire() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) = 0;
};
typedef IDirectInputDevice8A* LPDIRECTINPUTDEVICE8A;

struct IDirectInput8A : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8A* device,
                                                 LPUNKNOWN outer) = 0;
};
typedef IDirectInput8A* LPDIRECTINPUT8A;

HRESULT WINAPI DirectInput8Create(HINSTANCE instance, DWORD version, REFIID riid, LPVOID* out,
                                  LPUNKNOWN outer);

namespace platform {

// The DirectInput family's backend; see KernelApi for the pattern.
class DinputApi {
 public:
  virtual ~DinputApi() = default;
  virtual HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID riid,
                                     LPVOID* out) = 0;

  static DinputApi* Current();
  static DinputApi* Default();
  static DinputApi* Install(DinputApi* api);
};

using ScopedDinputApi = ScopedApi<DinputApi>;

}  // namespace platform

#endif  // ORVANEL_PLATFORM_LINUX_DINPUT_H_
