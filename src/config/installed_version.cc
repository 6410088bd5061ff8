#include "config/installed_version.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "config/strtok.h"
#include "config/text_file.h"
#include "config/version.h"
#include "platform/win32.h"
#include "shell/log.h"

namespace {

const char kFileName[] = "System.ini";
const char kTemporaryName[] = "System.ini.tmp";
const char kDelimiters[] = "= .,\t\n";
const char kKeyword[] = "Version";

// A System.ini is one line; a file past this size is not read as one.
const unsigned long kMaxSize = 1 << 20;

}  // namespace

bool LoadInstalledVersion() {
  // A temporary left by a save that was cut short holds nothing we need.
  DeleteFileA(kTemporaryName);

  std::vector<char> text;
  if (ReadTextFile(kFileName, kMaxSize, &text) != TextFileResult::kRead) return false;

  CStrTok reader(text.data(), static_cast<int>(strlen(text.data())), kDelimiters);
  int state = 0;     // 0: looking for the keyword; 1: reading numbers
  int position = 0;  // which number comes next, 1 to 4
  while (const char* token = reader.NextToken()) {
    if (state == 0) {
      if (strncmp(token, kKeyword, sizeof kKeyword - 1) == 0) {
        state = 1;
        position = 1;
      }
      continue;
    }
    if (!IsNumeric(token)) {
      LogFormatted("(!) System.ini configuration file error(%d)(%d)!", state, position);
      return false;
    }
    // Stored at once, so the last occurrence of the keyword wins number by number.
    Version version = InstalledVersion();
    version.numbers[position - 1] = static_cast<int16_t>(TokenValue(token));
    SetInstalledVersion(version);
    if (position == 4) {
      state = 0;
      position = 0;
    } else {
      ++position;
    }
  }
  return true;
}

void SaveInstalledVersion() {
  Version version = InstalledVersion();
  char text[64];
  int length = snprintf(text, sizeof text, "Version = %d.%d.%d.%d", version.numbers[0],
                        version.numbers[1], version.numbers[2], version.numbers[3]);

  HANDLE file = CreateFileA(kTemporaryName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  bool complete = WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr) &&
                  written == static_cast<DWORD>(length) && FlushFileBuffers(file);
  CloseHandle(file);
  if (!complete ||
      !MoveFileExA(kTemporaryName, kFileName,
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    // System.ini keeps the last version that was saved whole.
    DeleteFileA(kTemporaryName);
    return;
  }
  LogFormatted("New System Config File Size = %d", length);
}
