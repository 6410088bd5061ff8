// The program entry of the Linux build: what the Windows start-up code does
// before it calls WinMain.
#include <string>

#include "platform/linux/win32_api.h"

// The first byte of the executable's image, as the module handle is on
// Windows: a per-process value that the window class name is made from.
extern "C" char __executable_start;

int main(int argc, char** argv) {
  // Windows hands WinMain the command line without the program's own name.
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(&__executable_start);
  return WinMain(instance, nullptr, &commandLine[0], SW_SHOWDEFAULT);
}
