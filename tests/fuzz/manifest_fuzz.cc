// ParseManifestText over any manifest. The first eight bytes are the
// installed version to compare against; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "update/manifest.h"

namespace {

// A broken promise: say which, for the finding's report.
void Fail(int line, const char* condition) {
  fprintf(stderr, "%s:%d: %s\n", __FILE__, line, condition);
  abort();
}
#define Require(condition) ((condition) ? (void)0 : Fail(__LINE__, #condition))

// Relative, without a drive or stream colon, and no component that Windows
// reads as the folder itself or its parent (only dots and spaces).
bool LocalPathStaysInside(const char* path) {
  if (path[0] == '\\' || strchr(path, ':') != nullptr || strchr(path, '/') != nullptr) return false;
  const char* begin = path;
  for (;;) {
    const char* end = strchr(begin, '\\');
    if (end == nullptr) end = begin + strlen(begin);
    bool onlyDots = end > begin;
    for (const char* c = begin; c < end; ++c) onlyDots = onlyDots && (*c == '.' || *c == ' ');
    if (onlyDots) return false;
    if (*end == '\0') return true;
    begin = end + 1;
  }
}

// What the worker relies on once a parse is complete: counts within the
// tables, the total equal to the stored files, and every stored entry a
// path inside the installation folder.
void CheckTables(int16_t versionCount, int16_t filesTotal, const VersionRecord* records) {
  Require(versionCount >= 0 && versionCount <= kMaxVersions);
  int stored = 0;
  for (int v = 0; v < versionCount; ++v) {
    const VersionRecord& record = records[v];
    Require(record.fileCount >= 0 && record.fileCount <= kMaxFilesPerVersion);
    stored += record.fileCount;
    for (int f = 0; f < record.fileCount; ++f) {
      const FileEntry& entry = record.files[f];
      Require(IsSafeName(entry.name) && IsSafeExtension(entry.extension) &&
              IsSafeDirectory(entry.directory));
      char local[1024];
      LocalPathOf(entry, local, sizeof local);
      if (!LocalPathStaysInside(local)) fprintf(stderr, "local path: %s\n", local);
      Require(LocalPathStaysInside(local));
    }
  }
  Require(stored == filesTotal);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  static std::unique_ptr<VersionRecord[]> records(new VersionRecord[kMaxVersions]);
  for (int i = 0; i < kMaxVersions; ++i) records[i].fileCount = 0;
  Version installed;
  memcpy(installed.numbers, data, 8);
  std::vector<char> text(reinterpret_cast<const char*>(data) + 8,
                         reinterpret_cast<const char*>(data) + size);
  text.push_back('\0');

  int16_t versionCount = 0;
  std::atomic<int16_t> filesTotal{0};
  ManifestParse parse =
      ParseManifestText(text.data(), installed, {versionCount, filesTotal, records.get()});
  if (parse.complete) {
    CheckTables(versionCount, filesTotal.load(), records.get());
  } else {
    Require(parse.parseState >= 0 && parse.parseState <= 2);
    Require(parse.fieldIndex >= 0 && parse.fieldIndex <= 4);
  }
  return 0;
}
