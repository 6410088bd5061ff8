// CStrTok with the numeric test over any text. The first byte picks one of
// the delimiter sets the launcher uses; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "config/strtok.h"

namespace {

const char* const kDelimiterSets[] = {"= ,\t\n", "= .,\t\n", "\\"};

// A broken promise: say which, for the finding's report.
void Fail(int line, const char* condition) {
  fprintf(stderr, "%s:%d: %s\n", __FILE__, line, condition);
  abort();
}
#define Require(condition) ((condition) ? (void)0 : Fail(__LINE__, #condition))

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char* delimiters = kDelimiterSets[data[0] % 3];
  // The reader takes a length and may look at the byte after it: give it a
  // copy of exactly that many bytes and a terminating NUL.
  std::vector<char> text(reinterpret_cast<const char*>(data) + 1,
                         reinterpret_cast<const char*>(data) + size);
  text.push_back('\0');
  CStrTok reader(text.data(), static_cast<int>(size - 1), delimiters);
  size_t tokens = 0;
  while (const char* token = reader.NextToken()) {
    size_t length = strlen(token);
    Require(length <= 255);
    Require(strpbrk(token, delimiters) == nullptr);
    if (IsNumeric(token)) {
      int32_t value = TokenValue(token);
      if (TokenFitsInt16(token)) Require(value >= INT16_MIN && value <= INT16_MAX);
    }
    // Every token takes at least one byte of the text or a separator.
    Require(++tokens <= size + 1);
  }
  return 0;
}
