#include "shell/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/win32.h"

namespace {
const int kLineSize = 512;
const int kPrefixLength = 24;  // "(2012: 5: 7_ 9: 3: 4) - "
}  // namespace

void LogMessage(const char* message) {
  FILE* log = nullptr;
  if (fopen_s(&log, "Debug.txt", "at") != 0 || log == nullptr) return;

  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[kLineSize];
  int length = snprintf(line, sizeof line, "(%4d:%2d:%2d_%2d:%2d:%2d) - ", now.wYear,
                        now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
  if (length < 0 || length > kPrefixLength) length = kPrefixLength;  // a year past 9999

  // The message, cut where needed, and the line feed, within the 512 bytes.
  size_t room = sizeof line - 2 - static_cast<size_t>(length);
  size_t messageLength = strlen(message);
  if (messageLength > room) messageLength = room;
  memcpy(line + length, message, messageLength);
  length += static_cast<int>(messageLength);
  line[length++] = '\n';
  line[length] = '\0';

  fwrite(line, 1, static_cast<size_t>(length), log);
  fclose(log);
}

void LogFormatted(const char* format, ...) {
  char message[kLineSize];
  va_list args;
  va_start(args, format);
  vsnprintf(message, sizeof message, format, args);
  va_end(args);
  LogMessage(message);
}
