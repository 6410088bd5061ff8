#include "config/strtok.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kSystemIniDelimiters[] = "= .,\t\n";

// Every token up to the end of the text.
std::vector<std::string> Tokens(const std::string& text, const char* delimiters) {
  CStrTok reader(text.data(), static_cast<int>(text.size()), delimiters);
  std::vector<std::string> tokens;
  while (const char* token = reader.NextToken()) {
    tokens.push_back(token);
    if (tokens.size() > 1000) break;  // a reader that never ends fails below
  }
  EXPECT_EQ(reader.NextToken(), nullptr) << "nothing must stay nothing";
  return tokens;
}

struct TokenCase {
  const char* name;
  std::string text;
  const char* delimiters;
  std::vector<std::string> tokens;
};

class TokenReaderTest : public ::testing::TestWithParam<TokenCase> {};

TEST_P(TokenReaderTest, YieldsTokensInOrderThenNothing) {
  const TokenCase& c = GetParam();
  EXPECT_EQ(Tokens(c.text, c.delimiters), c.tokens);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TokenReaderTest,
    ::testing::Values(
        TokenCase{"Plain", "Version = 1.2.3.4", kSystemIniDelimiters,
                  {"Version", "1", "2", "3", "4"}},
        TokenCase{"OneLineFeed", "Version = 1.2.3.4\n", kSystemIniDelimiters,
                  {"Version", "1", "2", "3", "4"}},
        TokenCase{"TwoLineFeeds", "Version = 1.2.3.4\n\n", kSystemIniDelimiters,
                  {"Version", "1", "2", "3", "4", ""}},
        TokenCase{"CrLf", "Version = 1.2.3.4\r\n", kSystemIniDelimiters,
                  {"Version", "1", "2", "3", "4", ""}},
        TokenCase{"LeadingLineFeed", "\nVersion = 1.2.3.4", kSystemIniDelimiters,
                  {"", "Version", "1", "2", "3", "4"}},
        TokenCase{"TwoLeadingSpaces", "  Version", kSystemIniDelimiters, {"", "Version"}},
        TokenCase{"SingleEquals", "=", kSystemIniDelimiters, {""}},
        TokenCase{"TwoTrailingEquals", "a==", kSystemIniDelimiters, {"a", ""}},
        TokenCase{"Empty", "", kSystemIniDelimiters, {}},
        TokenCase{"LoneCrInside", "a\rb", kSystemIniDelimiters, {"a\rb"}},
        TokenCase{"LoneCrAtEnd", "a\r", kSystemIniDelimiters, {"a\r"}},
        TokenCase{"NulSeparates", std::string("a\0b", 3), kSystemIniDelimiters, {"a", "b"}},
        TokenCase{"EmptySetKeepsSpace", "a b", "", {"a b"}},
        TokenCase{"EmptySetCrLf", "a\r\nb", "", {"a", "\nb"}},
        TokenCase{"BackslashFolder", "temp\\", "\\", {"temp"}},
        TokenCase{"NestedFolders", "maps\\old\\", "\\", {"maps", "old"}},
        TokenCase{"RunOfMixedSeparators", "a =\t,\n b", kSystemIniDelimiters, {"a", "b"}}),
    [](const ::testing::TestParamInfo<TokenCase>& info) { return info.param.name; });

TEST(TokenReader, LongTokenIsCutAndTheReaderGoesOn) {
  std::string text = std::string(300, 'x') + " next";
  CStrTok reader(text.data(), static_cast<int>(text.size()), " ");
  const char* first = reader.NextToken();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(std::string(first), std::string(255, 'x'));
  EXPECT_TRUE(reader.TokenWasCut());
  const char* second = reader.NextToken();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(std::string(second), "next");
  EXPECT_FALSE(reader.TokenWasCut());
}

TEST(TokenReader, TokenOfExactly255BytesIsWhole) {
  std::string text(255, 'y');
  CStrTok reader(text.data(), static_cast<int>(text.size()), " ");
  EXPECT_EQ(std::string(reader.NextToken()), text);
  EXPECT_FALSE(reader.TokenWasCut());
}

struct NumericCase {
  const char* token;
  bool numeric;
  int32_t value;  // as the users read it, where numeric
};

TEST(IsNumeric, AcceptsDigitsAndMinusSignsOnly) {
  const NumericCase cases[] = {
      {"", true, 0},          {"-", true, 0},          {"12", true, 12},
      {"1-2", true, 1},       {"--", true, 0},         {"-7", true, -7},
      {"007", true, 7},       {"+1", false, 0},        {" 1", false, 0},
      {"1.5", false, 0},      {"\xB2", false, 0},      {"1\xE9", false, 0},
      {"40000", true, 40000}, {"70000", true, 70000},
  };
  for (const NumericCase& c : cases) {
    EXPECT_EQ(IsNumeric(c.token), c.numeric) << '"' << c.token << '"';
    if (c.numeric) {
      EXPECT_EQ(TokenValue(c.token), c.value) << '"' << c.token << '"';
    }
  }
}

TEST(TokenValue, WrapsBeyondThirtyTwoBitsKeepingTheLowBits) {
  // 2^32 + 5 and 2^32 * 3 + 65541: the low 16 bits are those of 5.
  EXPECT_EQ(static_cast<int16_t>(TokenValue("4294967301")), 5);
  EXPECT_EQ(static_cast<int16_t>(TokenValue("12884967429")), 5);
}

TEST(TokenFitsInt16, BoundsOfSignedSixteenBits) {
  EXPECT_TRUE(TokenFitsInt16("32767"));
  EXPECT_FALSE(TokenFitsInt16("32768"));
  EXPECT_TRUE(TokenFitsInt16("-32768"));
  EXPECT_FALSE(TokenFitsInt16("-32769"));
  EXPECT_FALSE(TokenFitsInt16("99999999999999999999"));
  EXPECT_TRUE(TokenFitsInt16("0"));
  EXPECT_TRUE(TokenFitsInt16(""));
}

}  // namespace
