// LoadInstalledVersion over any System.ini, through the layer's file calls
// as the launcher reads it.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "config/installed_version.h"
#include "config/version.h"

namespace {

char folder[] = "/tmp/orvanel-fuzz-XXXXXX";

void RemoveFolder() {
  for (const char* name : {"System.ini", "System.ini.tmp", "Debug.txt"}) remove(name);
  rmdir(folder);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The reader works in the working directory; give it one of its own.
  if (mkdtemp(folder) == nullptr || chdir(folder) != 0) abort();
  atexit(RemoveFolder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static unsigned runs = 0;
  FILE* file = fopen("System.ini", "wb");
  if (file == nullptr) abort();
  fwrite(data, 1, size, file);
  fclose(file);
  SetInstalledVersion(Version{{0, 0, 0, 0}});
  LoadInstalledVersion();
  // Each rejected file logs a line; keep Debug.txt small.
  if (++runs % 4096 == 0) remove("Debug.txt");
  return 0;
}
