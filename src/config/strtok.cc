#include "config/strtok.h"

#include <cstring>

CStrTok::CStrTok(const char* text, int length, const char* delimiters)
    : sourceText(text),
      delimiterSet(delimiters),
      sourceLength(length),
      readPos(0),
      tokenCut(false) {}

CStrTok::~CStrTok() {}

bool CStrTok::IsSeparator(int pos) const {
  unsigned char c = static_cast<unsigned char>(sourceText[pos]);
  if (c == 0) return true;
  if (c == '\r') {
    // Only the CR of a CR LF pair; past the end the next byte counts as 0.
    char next = pos > sourceLength - 2 ? 0 : sourceText[pos + 1];
    if (next == '\n') return true;
  }
  for (const char* d = delimiterSet; *d != '\0'; ++d) {
    if (static_cast<unsigned char>(*d) == c) return true;
  }
  return false;
}

char* CStrTok::NextToken() {
  memset(tokenBuffer, 0, sizeof tokenBuffer);
  tokenCut = false;
  if (readPos >= sourceLength) return nullptr;

  int length = 0;
  while (!IsSeparator(readPos)) {
    if (length < static_cast<int>(sizeof tokenBuffer) - 1) {
      tokenBuffer[length++] = sourceText[readPos];
    } else {
      tokenCut = true;
    }
    ++readPos;
    if (readPos == sourceLength) return tokenBuffer;
  }

  // Skip the separators; the last byte of the text is left for the next call.
  do {
    if (!IsSeparator(readPos)) break;
    ++readPos;
  } while (readPos < sourceLength - 1);
  return tokenBuffer;
}

bool IsNumeric(const char* token) {
  for (const char* p = token; *p != '\0'; ++p) {
    if (*p != '-' && (*p < '0' || *p > '9')) return false;
  }
  return true;
}

int32_t TokenValue(const char* token) {
  const char* p = token;
  bool negative = *p == '-';
  if (negative) ++p;
  uint32_t value = 0;  // unsigned, so that long digit runs wrap without overflow
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<uint32_t>(*p - '0');
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

bool TokenFitsInt16(const char* token) {
  const char* p = token;
  bool negative = *p == '-';
  if (negative) ++p;
  int32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > 32768) return false;
  }
  return negative ? value <= 32768 : value <= 32767;
}
