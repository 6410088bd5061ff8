#include "shell/launcher.h"

#include <cstdio>
#include <new>

#include "config/installed_version.h"
#include "graphics/screen.h"
#include "shell/log.h"

HANDLE instanceMutex = nullptr;
HWND mainWindow = nullptr;
MSG loopMessage;
CMain* mainObject = nullptr;

namespace {

const char kMutexName[] = "Orvanel Launcher";
const char kTitle[] = "Orvanel Launcher";
const char kCaption[] = "ERROR!";
const int kWidth = 800;
const int kHeight = 600;

bool shutdownDone = false;

// The handle by which start-up saw another launcher: left open to the end
// of the process.
HANDLE otherLauncher = nullptr;

// A start-up failure before the launcher object exists: a box without owner.
int RefuseToStart(const char* text) {
  MessageBoxA(nullptr, text, kCaption, MB_ICONWARNING);
  return 0;
}

}  // namespace

int StartLauncher(HINSTANCE instance, int show) {
  // One process runs this once; the reset lets tests run start-up again.
  instanceMutex = nullptr;
  mainWindow = nullptr;
  loopMessage = MSG();
  mainObject = nullptr;
  shutdownDone = false;

  otherLauncher = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kMutexName);
  if (otherLauncher != nullptr) {
    return RefuseToStart("Only one game launcher process allowed!");
  }
  instanceMutex = CreateMutexA(nullptr, FALSE, kMutexName);

  if (!LoadInstalledVersion()) {
    return RefuseToStart("Configuration file contents cannot be found!");
  }

  char className[32];
  snprintf(className, sizeof className, "Launcher-%d",
           static_cast<int>(reinterpret_cast<intptr_t>(instance)));
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = className;
  windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
  RegisterClassExA(&windowClass);  // a failure shows as no window below

  int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  mainWindow = CreateWindowExA(0, className, kTitle, WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX,
                               x, y, kWidth, kHeight, nullptr, nullptr, instance, nullptr);
  if (mainWindow == nullptr) return RefuseToStart("Create window pointer failed.");

  mainObject = new (std::nothrow) CMain();
  if (mainObject == nullptr || mainObject->download == nullptr) {
    // Without memory for the launcher or its update tables nothing can run.
    delete mainObject;
    mainObject = nullptr;
    return RefuseToStart("Initialization error.");
  }

  InitLauncher(instance);
  ShowWindow(mainWindow, show);
  UpdateWindow(mainWindow);
  return RunFrameLoop();
}

void InitLauncher(HINSTANCE instance) {
  mainObject->window = mainWindow;
  mainObject->screenWidth = kWidth;
  mainObject->screenHeight = kHeight;

  int32_t result = mainObject->graphics.Create(mainObject->window, kWidth, kHeight);
  // Without Direct3D the device has said so itself and shut the launcher down.
  if (ShutdownHasRun()) return;
  if (result != 0) {
    FatalError("Initialization error.", MB_ICONWARNING);
    return;
  }
  if (mainObject->mouse.Create(mainObject->window, instance, kWidth, kHeight) != 0) {
    FatalError("Failed to acquire input device(s).", MB_ICONWARNING);
    return;
  }
  mainObject->graphics.LoadSprites();
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  if (message == WM_DESTROY) {
    Shutdown();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int RunFrameLoop() {
  for (;;) {
    while (PeekMessageA(&loopMessage, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&loopMessage);
      DispatchMessageA(&loopMessage);
    }
    // Shutdown always posts the quit message, but once it has run no frame
    // starts even if the drain went on past that message.
    if (loopMessage.message == WM_QUIT || shutdownDone) return 0;

    // A fatal error in any step shuts the launcher down: the frame ends there.
    if (!mainObject->graphics.BeginFrame() || shutdownDone) continue;
    DrawScreen();
    if (shutdownDone) continue;
    mainObject->graphics.EndFrame();
  }
}

void Shutdown() {
  if (shutdownDone) return;
  shutdownDone = true;

  // The launcher never owns the mutex: closing the handle frees the name.
  if (instanceMutex != nullptr) {
    ReleaseMutex(instanceMutex);
    CloseHandle(instanceMutex);
    instanceMutex = nullptr;
  }

  LogMessage("(TESTCODE) Deleting Main Dump.");
  if (mainObject != nullptr) {
    mainObject->graphics.Destroy();
    // The worker may still be in a transfer: this waits for it to end.
    delete mainObject->download;
    mainObject->download = nullptr;
  }
  delete mainObject;
  mainObject = nullptr;
  PostQuitMessage(0);
}

bool ShutdownHasRun() { return shutdownDone; }

void FatalError(const char* text, UINT icon) {
  HWND owner = mainObject != nullptr ? mainObject->window : mainWindow;
  MessageBoxA(owner, text, kCaption, icon);
  SendMessageA(owner, WM_DESTROY, 0, 0);
}
