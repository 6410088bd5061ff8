// The Windows GUI entry point. The command line is not read, and neither is
// the previous instance, which is always null.
#include "platform/win32.h"
#include "shell/launcher.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  return StartLauncher(instance, show);
}
