// A test helper for the Windows build under Wine, which draws its message
// boxes itself, so the tests cannot read them from X:
//   probe.exe box CAPTION SECONDS    waits for a message box with the
//       caption, prints the texts of its controls, one per line, and
//       dismisses it with OK; exits 1 when none appears in time.
//   probe.exe close TITLE SECONDS    posts WM_CLOSE to the top-level window
//       with the title, as a window manager's close button would.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  char text[1024];
  if (GetWindowTextA(child, text, sizeof text) > 0) printf("%s\n", text);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: probe box|close NAME SECONDS\n");
    return 2;
  }
  bool box = strcmp(argv[1], "box") == 0;
  const char* name = argv[2];
  int seconds = atoi(argv[3]);
  for (int waited = 0; waited < seconds * 10; ++waited) {
    // Message boxes are dialogs, of the class #32770.
    HWND window = FindWindowA(box ? "#32770" : nullptr, name);
    if (window != nullptr) {
      if (box) {
        EnumChildWindows(window, PrintChild, 0);
        fflush(stdout);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
      } else {
        PostMessageA(window, WM_CLOSE, 0, 0);
      }
      return 0;
    }
    Sleep(100);
  }
  fprintf(stderr, "no window \"%s\" within %d s\n", name, seconds);
  return 1;
}
