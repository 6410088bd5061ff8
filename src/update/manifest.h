// The update manifest patch.ini: the tables it fills, its parser, and the
// rules its fields keep. The update worker parses the manifest it fetched;
// the publisher writes manifests and checks them with this same code, so
// that what it writes is exactly what the launcher reads.
//
//   patch = 1, 0, 0, 7                      a version block: four numbers
//   file = readme_first, txt, 1, docs\      a file block: name, extension,
//                                           space flag, folder (or @root)
#ifndef ORVANEL_UPDATE_MANIFEST_H_
#define ORVANEL_UPDATE_MANIFEST_H_

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "config/version.h"

const int kMaxVersions = 200;
const int kMaxFilesPerVersion = 200;
// The worker counts files over all versions in 16 bits.
const int kMaxFilesTotal = INT16_MAX;
// 200 versions of 200 files take a few megabytes of text; a manifest far
// larger than that is no manifest.
const unsigned long kMaxManifestSize = 16ul << 20;
// A token longer than this reaches the parser cut short.
const size_t kMaxTokenLength = 255;

// The bytes that separate tokens of the manifest.
extern const char kManifestDelimiters[];
// The folder token of a file that lives in the installation folder itself.
extern const char kRootFolder[];

struct FileEntry {
  char name[260];       // as the manifest writes it; also the server file's stem
  char directory[260];  // backslash-separated, ending with one; empty for the root
  char extension[20];
  uint8_t spaceFlag;    // 1: underscores of name become spaces locally
};

struct VersionRecord {
  Version version;
  int16_t fileCount;
  FileEntry files[kMaxFilesPerVersion];
};

// Where one parse writes: the update worker's own tables, or a tool's.
// records has room for kMaxVersions; every fileCount starts at zero.
struct ManifestTables {
  int16_t& versionCount;
  std::atomic<int16_t>& filesTotal;
  VersionRecord* records;
};

struct ManifestParse {
  bool complete;   // false: a format error stopped the parse
  int parseState;  // at the failing token: 0 between blocks, 1 version, 2 file
  int fieldIndex;  // at the failing token: 1 to 4, 0 between blocks
};

// Parses a zero-terminated manifest text into tables. Only versions newer
// than installed keep their files. The manifest comes from the network, so a
// field that would write outside the installation folder, or that the
// tables cannot hold, is a format error like a bad number.
ManifestParse ParseManifestText(const char* text, const Version& installed,
                                const ManifestTables& tables);

// The field rules of the parser: a plain file name (no folder in it), an
// extension, and a relative folder of plain folder names. Control bytes, '/'
// and ':' are refused everywhere, and so are names Windows would turn into
// devices or trim to "." and "..".
bool IsSafeName(const char* name);
bool IsSafeExtension(const char* extension);
bool IsSafeDirectory(const char* directory);

// "%s%s.%s" of an entry: its folder, its local name (underscores as spaces
// when spaceFlag is 1) and its extension.
void LocalPathOf(const FileEntry& entry, char* out, size_t size);

#endif  // ORVANEL_UPDATE_MANIFEST_H_
