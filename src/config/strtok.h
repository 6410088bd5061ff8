// CStrTok splits a text in memory into tokens; IsNumeric and TokenValue
// decide whether a token is a number and read it.
//
// A separator is a NUL byte, a CR that a LF follows, or a byte of the
// delimiter set. A run of separators between two tokens separates them once;
// a text that starts with a separator yields an empty token first, and one
// that ends with two or more yields an empty token last. The users give the
// tokens their meaning by position and rely on exactly these rules.
#ifndef ORVANEL_CONFIG_STRTOK_H_
#define ORVANEL_CONFIG_STRTOK_H_

#include <cstdint>

class CStrTok {
 public:
  // text and delimiters must outlive the reader and stay unchanged.
  CStrTok(const char* text, int length, const char* delimiters);
  virtual ~CStrTok();

  // The next token, which may be empty, or nullptr once the text is used up.
  // Valid until the next call. A token longer than 255 bytes is cut to its
  // first 255; TokenWasCut tells the caller.
  char* NextToken();
  bool TokenWasCut() const { return tokenCut; }

 private:
  bool IsSeparator(int pos) const;

  const char* sourceText;
  const char* delimiterSet;
  char tokenBuffer[256];
  int sourceLength;
  int readPos;
  bool tokenCut;
};

// True for the empty token and for tokens of only digits and minus signs.
bool IsNumeric(const char* token);

// A numeric token's value: an optional leading minus sign, then the digits up
// to the first byte that is not one; 0 without digits. Beyond 32 bits it
// wraps, so the low 16 bits are always those of the decimal number.
int32_t TokenValue(const char* token);

// Whether TokenValue(token) is the token's true value and fits 16 signed bits.
bool TokenFitsInt16(const char* token);

#endif  // ORVANEL_CONFIG_STRTOK_H_
