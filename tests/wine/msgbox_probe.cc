// A test helper for the Windows build under Wine: waits for a message box
// with the given caption, prints the texts of its controls on stdout, one per
// line, and dismisses it with OK. Exits 1 when no box appears in time.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  char text[1024];
  if (GetWindowTextA(child, text, sizeof text) > 0) printf("%s\n", text);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  const char* caption = argc > 1 ? argv[1] : "ERROR!";
  int seconds = argc > 2 ? atoi(argv[2]) : 30;
  for (int waited = 0; waited < seconds * 10; ++waited) {
    HWND box = FindWindowA("#32770", caption);  // the dialog class of message boxes
    if (box != nullptr) {
      EnumChildWindows(box, PrintChild, 0);
      fflush(stdout);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      return 0;
    }
    Sleep(100);
  }
  fprintf(stderr, "no message box \"%s\" within %d s\n", caption, seconds);
  return 1;
}
