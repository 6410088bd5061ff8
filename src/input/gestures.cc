// The pointer gestures and the game start: operations of the launcher
// object, run by the screen once per frame.
#include <cstring>

#include "platform/win32.h"
#include "shell/cmain.h"
#include "shell/launcher.h"

namespace {

bool InPlayRectangle(int x, int y) { return x >= 622 && x <= 788 && y >= 494 && y <= 589; }

}  // namespace

bool CMain::PointerOnPlay(int16_t x, int16_t y) { return InPlayRectangle(x, y); }

void CMain::HandlePointer(int16_t x, int16_t y, BYTE left, BYTE right) {
  if (gestureState == 0) {
    if (left != 0 || right != 0) {
      gestureState = 1;
      anchorX = x;
      anchorY = y;
    }
    return;
  }
  if (left != 0) {
    // Drag: the window follows the pointer's motion since the last step.
    RECT rect = {};
    GetWindowRect(window, &rect);
    int32_t dx = static_cast<int32_t>(x) - anchorX;
    int32_t dy = static_cast<int32_t>(y) - anchorY;
    SetWindowPos(window, nullptr, rect.left + dx, rect.top + dy, 0, 0, SWP_NOSIZE);
    anchorX = x;
    anchorY = y;
    return;
  }
  if (right != 0) return;
  // Release: only where the pointer is now counts.
  gestureState = 0;
  if (download->upToDate.load(std::memory_order_acquire) && InPlayRectangle(x, y)) LaunchGame();
}

void CMain::LaunchGame() {
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof process);
  ShowWindow(window, SW_HIDE);
  char commandLine[] = "Orvanel Launcher";
  if (!CreateProcessA("Orvanel.exe", commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    FatalError("Failed to execute game client.", MB_ICONERROR);
    return;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  // The player is done with the launcher: it ends, and frees the
  // single-instance name for the next start, as after a fatal error but
  // without a message.
  SendMessageA(window, WM_DESTROY, 0, 0);
}
