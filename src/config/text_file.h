// Reading a whole configuration text file (System.ini, patch.ini).
#ifndef ORVANEL_CONFIG_TEXT_FILE_H_
#define ORVANEL_CONFIG_TEXT_FILE_H_

#include <vector>

enum class TextFileResult {
  kRead,         // text holds the file's text and a terminating NUL
  kCannotOpen,   // missing, a folder, or not readable
  kTooLarge,     // larger than the limit: nothing read
};

// Reads the file in text mode (CR LF arrives as LF) into a zero-filled buffer
// one byte longer than the file. Where the size cannot be learned, the file
// is read to its end, up to the limit.
TextFileResult ReadTextFile(const char* path, unsigned long limit, std::vector<char>* text);

#endif  // ORVANEL_CONFIG_TEXT_FILE_H_
