// ParseManifestText and the rules of the manifest's fields.
//
// Only versions newer than the installed one keep their files. A version is
// counted as soon as its four numbers are read and taken out of the count at
// its first file block if it is not newer; the next version block then
// reuses its slot. The file blocks of a version that is not newer pass
// through between blocks, so a field of one that begins with "patch" opens
// a version block.
#include "update/manifest.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "config/strtok.h"

const char kManifestDelimiters[] = "= ,\t\n";
const char kRootFolder[] = "@root";

namespace {

// Control bytes, the forward slash and the colon (a drive letter, or an NTFS
// stream) have no place in a name, an extension or a folder.
bool HasUnsafeByte(const char* text) {
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c != '\0'; ++c) {
    if (*c < 0x20 || *c == 0x7F || *c == '/' || *c == ':') return true;
  }
  return false;
}

// Windows opens a device for these names, whatever the extension or folder.
// Underscores count as the spaces they may become.
bool IsDeviceName(const char* begin, const char* end) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  const char* dot = static_cast<const char*>(memchr(begin, '.', static_cast<size_t>(end - begin)));
  if (dot != nullptr) end = dot;
  while (end > begin && (end[-1] == ' ' || end[-1] == '_')) --end;
  size_t length = static_cast<size_t>(end - begin);
  char stem[5] = "";
  if (length < 3 || length > 4) return false;
  for (size_t i = 0; i < length; ++i) stem[i] = static_cast<char>(toupper(static_cast<unsigned char>(begin[i])));
  if (length == 3) {
    for (const char* device : kDevices) {
      if (strcmp(stem, device) == 0) return true;
    }
    return false;
  }
  return (strncmp(stem, "COM", 3) == 0 || strncmp(stem, "LPT", 3) == 0) && stem[3] >= '1' &&
         stem[3] <= '9';
}

// "..", "." and names of dots and spaces only, which Windows trims to them.
bool IsDotsAndSpaces(const char* begin, const char* end) {
  if (begin == end) return false;
  for (const char* c = begin; c < end; ++c) {
    if (*c != '.' && *c != ' ') return false;
  }
  return true;
}

}  // namespace

bool IsSafeName(const char* name) {
  const char* end = name + strlen(name);
  return name[0] != '\0' && !HasUnsafeByte(name) && strchr(name, '\\') == nullptr &&
         !IsDotsAndSpaces(name, end) && !IsDeviceName(name, end);
}

bool IsSafeExtension(const char* extension) {
  return !HasUnsafeByte(extension) && strchr(extension, '\\') == nullptr &&
         !IsDotsAndSpaces(extension, extension + strlen(extension));
}

// Relative, and every component a plain folder name.
bool IsSafeDirectory(const char* directory) {
  if (HasUnsafeByte(directory) || directory[0] == '\\') return false;
  const char* begin = directory;
  while (*begin != '\0') {
    const char* end = strchr(begin, '\\');
    if (end == nullptr) end = begin + strlen(begin);
    if (IsDotsAndSpaces(begin, end) || IsDeviceName(begin, end)) return false;
    begin = *end == '\\' ? end + 1 : end;
  }
  return true;
}

ManifestParse ParseManifestText(const char* text, const Version& installed,
                                const ManifestTables& tables) {
  CStrTok reader(text, static_cast<int>(strlen(text)), kManifestDelimiters);
  int16_t& versionCount = tables.versionCount;
  std::atomic<int16_t>& filesTotal = tables.filesTotal;
  VersionRecord* records = tables.records;
  int parseState = 0;  // 0 between blocks, 1 in a version block, 2 in a file block
  int fieldIndex = 0;  // the field the next token fills, 1 to 4
  int versionSlot = 0;
  int fileSlot = 0;
  bool discarded = false;
  bool seenVersion = false;  // a file block before any version block is ignored

  while (const char* token = reader.NextToken()) {
    bool formatError = false;
    if (parseState == 0) {
      if (strncmp(token, "patch", 5) == 0) {
        if (versionCount >= kMaxVersions) {
          formatError = true;
        } else {
          discarded = false;
          versionSlot = versionCount;
          fileSlot = 0;
          parseState = 1;
          fieldIndex = 1;
          seenVersion = true;
        }
      } else if (strncmp(token, "file", 4) == 0 && seenVersion) {
        VersionRecord& record = records[versionSlot];
        if (IsNewer(record.version, installed)) {
          if (record.fileCount >= kMaxFilesPerVersion ||
              filesTotal.load(std::memory_order_relaxed) >= kMaxFilesTotal) {
            formatError = true;
          } else {
            fileSlot = record.fileCount;
            parseState = 2;
            fieldIndex = 1;
          }
        } else if (!discarded) {
          --versionCount;
          discarded = true;
        }
      }
    } else if (parseState == 1) {
      if (!IsNumeric(token) || !TokenFitsInt16(token)) {
        formatError = true;
      } else {
        records[versionSlot].version.numbers[fieldIndex - 1] =
            static_cast<int16_t>(TokenValue(token));
        if (fieldIndex == 4) {
          ++versionCount;
          parseState = 0;
          fieldIndex = 0;
        } else {
          ++fieldIndex;
        }
      }
    } else {
      FileEntry& entry = records[versionSlot].files[fileSlot];
      bool cut = reader.TokenWasCut();
      switch (fieldIndex) {
        case 1:
          formatError = cut || !IsSafeName(token);
          if (!formatError) strcpy(entry.name, token);
          break;
        case 2:
          formatError = cut || strlen(token) >= sizeof entry.extension || !IsSafeExtension(token);
          if (!formatError) strcpy(entry.extension, token);
          break;
        case 3:
          formatError = !IsNumeric(token);
          if (!formatError) entry.spaceFlag = TokenValue(token) == 1 ? 1 : 0;
          break;
        default:
          if (strcmp(token, kRootFolder) == 0) {
            entry.directory[0] = '\0';
          } else {
            formatError = cut || !IsSafeDirectory(token);
            if (!formatError) strcpy(entry.directory, token);
          }
          break;
      }
      if (!formatError) {
        if (fieldIndex == 4) {
          ++records[versionSlot].fileCount;
          filesTotal.fetch_add(1, std::memory_order_relaxed);
          parseState = 0;
          fieldIndex = 0;
        } else {
          ++fieldIndex;
        }
      }
    }
    if (formatError) return ManifestParse{false, parseState, fieldIndex};
  }
  return ManifestParse{true, 0, 0};
}

void LocalPathOf(const FileEntry& entry, char* out, size_t size) {
  char localName[sizeof entry.name];
  snprintf(localName, sizeof localName, "%s", entry.name);
  if (entry.spaceFlag == 1) {
    for (char* c = localName; *c != '\0'; ++c) {
      if (*c == '_') *c = ' ';
    }
  }
  snprintf(out, size, "%s%s.%s", entry.directory, localName, entry.extension);
}
