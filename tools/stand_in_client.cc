// A stand-in for the game client, installed as Orvanel.exe in test and demo
// installations: it writes the command line it received to
// "client-command-line.txt" beside itself and exits after a short while
// (ORVANEL_CLIENT_SECONDS, default 2), with exit code 0.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// The command line as the program was given it: on Windows the raw line,
// elsewhere the arguments joined by spaces again.
std::string CommandLine(int argc, char** argv) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  return GetCommandLineA();
#else
  std::string line;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) line += ' ';
    line += argv[i];
  }
  return line;
#endif
}

std::string Beside(const char* self, const char* name) {
  std::string path = self;
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? name : path.substr(0, slash + 1) + name;
}

}  // namespace

int main(int argc, char** argv) {
  std::string line = CommandLine(argc, argv);
  FILE* out = fopen(Beside(argv[0], "client-command-line.txt").c_str(), "wb");
  if (out != nullptr) {
    fputs(line.c_str(), out);
    fclose(out);
  }
  const char* seconds = getenv("ORVANEL_CLIENT_SECONDS");
  double wait = seconds != nullptr ? atof(seconds) : 2.0;
  std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(wait * 1000)));
  return 0;
}
