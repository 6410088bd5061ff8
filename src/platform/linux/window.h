// User-interface services of the Linux layer on SDL2: the window class and
// window, the thread's message queue, message boxes and the primary display.
//
// The queue follows Windows: the window manager's close request arrives as
// WM_CLOSE, Alt+F4 as WM_SYSKEYDOWN, and DefWindowProcA turns both into
// DestroyWindow, which sends WM_DESTROY. A termination signal (SIGINT,
// SIGTERM) closes every window the same way.
#ifndef ORVANEL_PLATFORM_LINUX_WINDOW_H_
#define ORVANEL_PLATFORM_LINUX_WINDOW_H_

#include "platform/linux/kernel.h"
#include "platform/linux/types.h"

struct SDL_Window;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagWNDCLASSEXA {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
  HICON hIconSm;
} WNDCLASSEXA;

typedef struct tagMSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
} MSG;

#define WM_DESTROY 0x0002
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSCOMMAND 0x0112
#define SC_CLOSE 0xF060
#define VK_F4 0x73

#define PM_NOREMOVE 0
#define PM_REMOVE 1

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SW_SHOWDEFAULT 10

#define SWP_NOSIZE 0x0001
#define HWND_TOP ((HWND)0)

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_OWNDC 0x0020

#define WS_POPUP 0x80000000u
#define WS_SYSMENU 0x00080000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_VISIBLE 0x10000000u

#define MB_OK 0x00
#define MB_ICONERROR 0x10
#define MB_ICONWARNING 0x30
#define MB_ICONINFORMATION 0x40
#define IDOK 1

#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDC_ARROW MAKEINTRESOURCEA(32512)

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT flags);
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass);
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title,
                            DWORD style, int x, int y, int width, int height,
                            HWND parent, HMENU menu, HINSTANCE instance,
                            LPVOID parameter);
BOOL WINAPI DestroyWindow(HWND window);
BOOL WINAPI ShowWindow(HWND window, int command);
BOOL WINAPI UpdateWindow(HWND window);
int WINAPI GetSystemMetrics(int index);
BOOL WINAPI PeekMessageA(MSG* message, HWND window, UINT first, UINT last,
                         UINT remove);
BOOL WINAPI TranslateMessage(const MSG* message);
LRESULT WINAPI DispatchMessageA(const MSG* message);
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void WINAPI PostQuitMessage(int exitCode);
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam,
                              LPARAM lParam);
BOOL WINAPI GetCursorPos(POINT* point);
BOOL WINAPI GetWindowRect(HWND window, RECT* rect);
BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height,
                         UINT flags);

// The system's entry point, which the layer's main calls.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine,
                   int show);

namespace platform {

// The user-interface family's backend; see KernelApi for the pattern. Only
// the calls a test has reason to replace are here; the queue and window
// procedures always run in the default backend.
class WindowApi {
 public:
  virtual ~WindowApi() = default;

  virtual int MessageBox(HWND owner, const char* text, const char* caption,
                         UINT flags) = 0;
  virtual HWND CreateWindowEx(DWORD exStyle, const char* className,
                              const char* title, DWORD style, int x, int y,
                              int width, int height, HINSTANCE instance) = 0;
  virtual BOOL ShowWindow(HWND window, int command) = 0;
  virtual int GetSystemMetrics(int index) = 0;
  virtual BOOL PeekMessage(MSG* message, UINT remove) = 0;
  virtual BOOL GetCursorPos(POINT* point) = 0;
  virtual BOOL GetWindowRect(HWND window, RECT* rect) = 0;
  virtual BOOL SetWindowPos(HWND window, int x, int y, UINT flags) = 0;

  static WindowApi* Current();
  static WindowApi* Default();
  static WindowApi* Install(WindowApi* api);
};

class WindowApiWrapper : public WindowApi {
 public:
  explicit WindowApiWrapper(WindowApi* target = WindowApi::Current())
      : target_(target) {}

  int MessageBox(HWND owner, const char* text, const char* caption,
                 UINT flags) override {
    return target_->MessageBox(owner, text, caption, flags);
  }
  HWND CreateWindowEx(DWORD exStyle, const char* className, const char* title,
                      DWORD style, int x, int y, int width, int height,
                      HINSTANCE instance) override {
    return target_->CreateWindowEx(exStyle, className, title, style, x, y, width,
                                   height, instance);
  }
  BOOL ShowWindow(HWND window, int command) override {
    return target_->ShowWindow(window, command);
  }
  int GetSystemMetrics(int index) override { return target_->GetSystemMetrics(index); }
  BOOL PeekMessage(MSG* message, UINT remove) override {
    return target_->PeekMessage(message, remove);
  }
  BOOL GetCursorPos(POINT* point) override { return target_->GetCursorPos(point); }
  BOOL GetWindowRect(HWND window, RECT* rect) override {
    return target_->GetWindowRect(window, rect);
  }
  BOOL SetWindowPos(HWND window, int x, int y, UINT flags) override {
    return target_->SetWindowPos(window, x, y, flags);
  }

 private:
  WindowApi* target_;
};

using ScopedWindowApi = ScopedApi<WindowApi>;

// For the other families of the layer (the Direct3D device presents into the
// window, the mouse asks whether it has the focus): the SDL window behind a
// handle, or nullptr.
SDL_Window* SdlWindowOf(HWND window);

// The cursor's position on the screen and the buttons held (SDL's mask),
// read from the display server at the call.
uint32_t GlobalMouseState(int* x, int* y);

// Starts SDL's video subsystem once; false where no display can be opened.
bool StartVideo();

}  // namespace platform

#endif  // ORVANEL_PLATFORM_LINUX_WINDOW_H_
