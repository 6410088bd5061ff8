// User-interface services on SDL2.
//
// A window handle points to an HWND__ of this file; handles stay valid for
// the life of the process, so a message for a destroyed window is dropped
// instead of reaching freed memory. The queue is the UI thread's: SDL's
// events are turned into messages when PeekMessageA pumps them.
#include "platform/linux/window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct HWND__ {
  SDL_Window* sdl = nullptr;
  WNDPROC procedure = nullptr;
  bool destroyed = false;
};

// The stock icon and cursor: non-null handles that are never drawn.
struct HICON__ {};
static HICON__ stockResource;

namespace platform {
namespace {

const DWORD kErrorClassAlreadyExists = 1410;
const DWORD kErrorCannotFindClass = 1407;
const DWORD kErrorInvalidWindowHandle = 1400;

struct WindowClass {
  WNDPROC procedure;
  UINT style;
};

// Everything the user-interface family keeps. Only the UI thread creates
// windows and pumps events; the queue itself is locked so that a post from
// another thread is safe.
struct UserState {
  std::mutex lock;
  std::map<std::string, WindowClass> classes;
  std::vector<std::unique_ptr<HWND__>> windows;
  std::deque<MSG> queue;
  bool quitPending = false;
  int quitCode = 0;
  ATOM nextAtom = 0xC000;
};

UserState& State() {
  static UserState state;
  return state;
}

bool IsLive(HWND window) {
  if (window == nullptr) return false;
  UserState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  for (const auto& w : state.windows) {
    if (w.get() == window) return !w->destroyed;
  }
  return false;
}

HWND WindowOfSdl(Uint32 id) {
  UserState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  for (const auto& w : state.windows) {
    if (!w->destroyed && w->sdl != nullptr && SDL_GetWindowID(w->sdl) == id) {
      return w.get();
    }
  }
  return nullptr;
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m = {};
  m.hwnd = window;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = SDL_WasInit(SDL_INIT_TIMER) ? SDL_GetTicks() : 0;
  UserState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  state.queue.push_back(m);
}

// Turns one SDL event into the message Windows would post for it.
void QueueEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        HWND window = WindowOfSdl(event.window.windowID);
        if (window != nullptr) Post(window, WM_CLOSE, 0, 0);
      }
      if (event.window.event == SDL_WINDOWEVENT_SHOWN) {
        // Only a mapped window can take the focus that showing it promised.
        SDL_Window* shown = SDL_GetWindowFromID(event.window.windowID);
        if (shown != nullptr) SDL_SetWindowInputFocus(shown);
      }
      break;
    case SDL_KEYDOWN:
      if (event.key.keysym.sym == SDLK_F4 && (event.key.keysym.mod & KMOD_ALT)) {
        HWND window = WindowOfSdl(event.key.windowID);
        // Bit 29 of lParam: the Alt key was down.
        if (window != nullptr) Post(window, WM_SYSKEYDOWN, VK_F4, LPARAM(1) << 29);
      }
      break;
    case SDL_QUIT: {
      std::vector<HWND> live;
      {
        UserState& state = State();
        std::lock_guard<std::mutex> hold(state.lock);
        for (const auto& w : state.windows) {
          if (!w->destroyed) live.push_back(w.get());
        }
      }
      for (HWND window : live) Post(window, WM_CLOSE, 0, 0);
      break;
    }
    default:
      break;
  }
}

// Raises the window and gives it the input focus, as showing or moving a
// window on Windows activates it; without a window manager nothing else would.
void Activate(SDL_Window* window) {
  SDL_RaiseWindow(window);
  SDL_SetWindowInputFocus(window);
}

class SdlWindows : public WindowApi {
 public:
  int MessageBox(HWND owner, const char* text, const char* caption,
                 UINT flags) override {
    // Said on stderr first, so that a player at a terminal and the tests see
    // it even where no box can be shown.
    fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "",
            text != nullptr ? text : "");
    fflush(stderr);
    Uint32 kind = SDL_MESSAGEBOX_INFORMATION;
    if ((flags & 0xF0) == MB_ICONERROR) kind = SDL_MESSAGEBOX_ERROR;
    if ((flags & 0xF0) == MB_ICONWARNING) kind = SDL_MESSAGEBOX_WARNING;
    if (HasDisplay()) {
      SDL_ShowSimpleMessageBox(kind, caption, text, SdlWindowOf(owner));
    }
    return IDOK;
  }

  HWND CreateWindowEx(DWORD, const char* className, const char* title,
                      DWORD style, int x, int y, int width, int height,
                      HINSTANCE) override {
    WNDPROC procedure = nullptr;
    {
      UserState& state = State();
      std::lock_guard<std::mutex> hold(state.lock);
      auto found = className != nullptr ? state.classes.find(className)
                                        : state.classes.end();
      if (found == state.classes.end()) {
        SetLastError(kErrorCannotFindClass);
        return nullptr;
      }
      procedure = found->second.procedure;
    }
    if (!StartVideo()) return nullptr;
    Uint32 flags = (style & WS_VISIBLE) ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
    if (style & WS_POPUP) flags |= SDL_WINDOW_BORDERLESS;
    SDL_Window* sdl = SDL_CreateWindow(title != nullptr ? title : "", x, y, width,
                                       height, flags);
    if (sdl == nullptr) return nullptr;
    auto window = std::make_unique<HWND__>();
    window->sdl = sdl;
    window->procedure = procedure;
    HWND handle = window.get();
    UserState& state = State();
    std::lock_guard<std::mutex> hold(state.lock);
    state.windows.push_back(std::move(window));
    return handle;
  }

  BOOL ShowWindow(HWND window, int command) override {
    if (!IsLive(window)) return FALSE;
    bool wasVisible = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) != 0;
    if (command == SW_HIDE) {
      SDL_HideWindow(window->sdl);
    } else {
      SDL_ShowWindow(window->sdl);
      Activate(window->sdl);
    }
    return wasVisible ? TRUE : FALSE;
  }

  BOOL GetCursorPos(POINT* point) override {
    if (point == nullptr || !StartVideo()) return FALSE;
    int x, y;
    GlobalMouseState(&x, &y);
    point->x = x;
    point->y = y;
    return TRUE;
  }

  BOOL GetWindowRect(HWND window, RECT* rect) override {
    if (!IsLive(window) || rect == nullptr) return FALSE;
    int x, y, w, h;
    SDL_GetWindowPosition(window->sdl, &x, &y);
    SDL_GetWindowSize(window->sdl, &w, &h);
    *rect = RECT{x, y, x + w, y + h};
    return TRUE;
  }

  // Moves the window and, as SetWindowPos without SWP_NOZORDER and
  // SWP_NOACTIVATE does, raises and activates it.
  BOOL SetWindowPos(HWND window, int x, int y, UINT) override {
    if (!IsLive(window)) return FALSE;
    SDL_SetWindowPosition(window->sdl, x, y);
    Activate(window->sdl);
    return TRUE;
  }

  int GetSystemMetrics(int index) override {
    if (index != SM_CXSCREEN && index != SM_CYSCREEN) return 0;
    SDL_Rect bounds;
    if (!StartVideo() || SDL_GetDisplayBounds(0, &bounds) != 0) return 0;
    return index == SM_CXSCREEN ? bounds.w : bounds.h;
  }

  BOOL PeekMessage(MSG* message, UINT remove) override {
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
      SDL_Event event;
      while (SDL_PollEvent(&event)) QueueEvent(event);
    }
    UserState& state = State();
    std::lock_guard<std::mutex> hold(state.lock);
    if (!state.queue.empty()) {
      *message = state.queue.front();
      if (remove & PM_REMOVE) state.queue.pop_front();
      return TRUE;
    }
    if (state.quitPending) {
      *message = MSG();
      message->message = WM_QUIT;
      message->wParam = static_cast<WPARAM>(state.quitCode);
      if (remove & PM_REMOVE) state.quitPending = false;
      return TRUE;
    }
    return FALSE;
  }

 private:
  // SDL shows its boxes through X11 (or Wayland); without either it would
  // only fail, so the box is not even tried.
  static bool HasDisplay() {
    const char* x11 = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && x11[0] != '\0') ||
           (wayland != nullptr && wayland[0] != '\0');
  }
};

WindowApi* installed = nullptr;

}  // namespace

WindowApi* WindowApi::Default() {
  static SdlWindows windows;
  return &windows;
}

WindowApi* WindowApi::Current() { return installed != nullptr ? installed : Default(); }

WindowApi* WindowApi::Install(WindowApi* api) {
  WindowApi* previous = Current();
  installed = api;
  return previous;
}

SDL_Window* SdlWindowOf(HWND window) { return IsLive(window) ? window->sdl : nullptr; }

// On X11 straight from the server: SDL's global mouse state is a cache that
// only raw XInput events refresh, and not every server sends them.
uint32_t GlobalMouseState(int* x, int* y) {
  SDL_Window* any = nullptr;
  {
    UserState& state = State();
    std::lock_guard<std::mutex> hold(state.lock);
    for (const auto& w : state.windows) {
      if (!w->destroyed) any = w->sdl;
    }
  }
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (any != nullptr && SDL_GetWindowWMInfo(any, &info) && info.subsystem == SDL_SYSWM_X11) {
    Display* display = info.info.x11.display;
    Window root, child;
    int rootX, rootY, windowX, windowY;
    unsigned int mask;
    if (XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY,
                      &windowX, &windowY, &mask)) {
      *x = rootX;
      *y = rootY;
      uint32_t buttons = 0;
      if (mask & Button1Mask) buttons |= SDL_BUTTON_LMASK;
      if (mask & Button2Mask) buttons |= SDL_BUTTON_MMASK;
      if (mask & Button3Mask) buttons |= SDL_BUTTON_RMASK;
      return buttons;
    }
  }
  return SDL_GetGlobalMouseState(x, y);
}

bool StartVideo() {
  static bool started = [] {
    // The launcher decides itself when to end: a closed last window or a
    // termination signal becomes WM_CLOSE, never a quit behind its back.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    return SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER) == 0;
  }();
  return started;
}

}  // namespace platform

using platform::WindowApi;

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
  return WindowApi::Current()->MessageBox(owner, text, caption, flags);
}

HICON WINAPI LoadIconA(HINSTANCE, LPCSTR name) {
  return name == IDI_APPLICATION ? &stockResource : nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR name) {
  return name == IDC_ARROW ? &stockResource : nullptr;
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
  if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA) ||
      windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr) {
    SetLastError(87);  // ERROR_INVALID_PARAMETER
    return 0;
  }
  platform::UserState& state = platform::State();
  std::lock_guard<std::mutex> hold(state.lock);
  std::string name = windowClass->lpszClassName;
  if (state.classes.count(name) != 0) {
    SetLastError(platform::kErrorClassAlreadyExists);
    return 0;
  }
  state.classes[name] = platform::WindowClass{windowClass->lpfnWndProc, windowClass->style};
  return state.nextAtom++;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style,
                            int x, int y, int width, int height, HWND, HMENU,
                            HINSTANCE instance, LPVOID) {
  return WindowApi::Current()->CreateWindowEx(exStyle, className, title, style, x, y,
                                              width, height, instance);
}

BOOL WINAPI DestroyWindow(HWND window) {
  if (!platform::IsLive(window)) {
    SetLastError(platform::kErrorInvalidWindowHandle);
    return FALSE;
  }
  // As on Windows, the procedure hears of the destruction while the window
  // still exists, so that what draws into it can be released first.
  SDL_HideWindow(window->sdl);
  window->procedure(window, WM_DESTROY, 0, 0);
  {
    platform::UserState& state = platform::State();
    std::lock_guard<std::mutex> hold(state.lock);
    window->destroyed = true;
  }
  SDL_DestroyWindow(window->sdl);
  window->sdl = nullptr;
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND window, int command) {
  return WindowApi::Current()->ShowWindow(window, command);
}

BOOL WINAPI UpdateWindow(HWND window) { return platform::IsLive(window) ? TRUE : FALSE; }

int WINAPI GetSystemMetrics(int index) {
  return WindowApi::Current()->GetSystemMetrics(index);
}

BOOL WINAPI PeekMessageA(MSG* message, HWND, UINT, UINT, UINT remove) {
  return WindowApi::Current()->PeekMessage(message, remove);
}

// The launcher handles no character input, so there is nothing to translate.
BOOL WINAPI TranslateMessage(const MSG*) { return FALSE; }

LRESULT WINAPI DispatchMessageA(const MSG* message) {
  if (message == nullptr || !platform::IsLive(message->hwnd)) return 0;
  return message->hwnd->procedure(message->hwnd, message->message, message->wParam,
                                  message->lParam);
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!platform::IsLive(window)) return 0;
  return window->procedure(window, message, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window != nullptr && !platform::IsLive(window)) return FALSE;
  platform::Post(window, message, wParam, lParam);
  return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
  platform::UserState& state = platform::State();
  std::lock_guard<std::mutex> hold(state.lock);
  state.quitPending = true;
  state.quitCode = exitCode;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4 && (lParam & (LPARAM(1) << 29))) {
        SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    default:
      return 0;
  }
}

BOOL WINAPI GetCursorPos(POINT* point) { return WindowApi::Current()->GetCursorPos(point); }

BOOL WINAPI GetWindowRect(HWND window, RECT* rect) {
  return WindowApi::Current()->GetWindowRect(window, rect);
}

BOOL WINAPI SetWindowPos(HWND window, HWND, int x, int y, int, int, UINT flags) {
  return WindowApi::Current()->SetWindowPos(window, x, y, flags);
}
