#include "config/text_file.h"

#include <cstdio>

#include "platform/win32.h"

namespace {

// The file's size in bytes, or INVALID_FILE_SIZE.
DWORD FileSize(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return INVALID_FILE_SIZE;
  DWORD high = 0;
  DWORD size = GetFileSize(file, &high);
  CloseHandle(file);
  return high != 0 ? INVALID_FILE_SIZE - 1 : size;  // 4 GiB and more: too large anyway
}

}  // namespace

TextFileResult ReadTextFile(const char* path, unsigned long limit, std::vector<char>* text) {
  DWORD size = FileSize(path);
  if (size != INVALID_FILE_SIZE && size > limit) return TextFileResult::kTooLarge;
  FILE* stream = nullptr;
  if (fopen_s(&stream, path, "rt") != 0 || stream == nullptr) return TextFileResult::kCannotOpen;

  // Text mode may deliver fewer bytes than the size; the zeros behind them
  // end the text.
  unsigned long room = size == INVALID_FILE_SIZE ? limit : size;
  text->assign(static_cast<size_t>(room) + 1, '\0');
  size_t got = 0;
  while (got < room) {
    size_t n = fread(text->data() + got, 1, room - got, stream);
    if (n == 0) break;
    got += n;
  }
  bool more = size == INVALID_FILE_SIZE && got == room && fgetc(stream) != EOF;
  fclose(stream);
  if (more) return TextFileResult::kTooLarge;
  return TextFileResult::kRead;
}
