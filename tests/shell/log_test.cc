#include "shell/log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/linux/kernel.h"
#include "support/scratch_dir.h"

namespace {

// 7 May 2012, 09:03:04: the prefix reads "(2012: 5: 7_ 9: 3: 4) - ".
class FixedClock : public platform::KernelApiWrapper {
 public:
  void GetLocalTime(SYSTEMTIME* time) override {
    *time = SYSTEMTIME{2012, 5, 1, 7, 9, 3, 4, 500};
  }
};

class LogTest : public ::testing::Test {
 protected:
  ScratchDir dir_;
  FixedClock clock_;
  platform::ScopedKernelApi scoped_{&clock_};
};

TEST_F(LogTest, LineIsPrefixMessageAndCrLf) {
  LogMessage("0123456789");
  std::string log = ReadFile("Debug.txt");
  EXPECT_EQ(log, "(2012: 5: 7_ 9: 3: 4) - 0123456789\r\n");
  EXPECT_EQ(log.size(), 36u) << "35 characters, the line feed as CR LF";
}

TEST_F(LogTest, AppendsAndNeverTruncates) {
  WriteFile("Debug.txt", "earlier\r\n");
  LogMessage("one");
  LogMessage("two");
  EXPECT_EQ(ReadFile("Debug.txt"),
            "earlier\r\n(2012: 5: 7_ 9: 3: 4) - one\r\n(2012: 5: 7_ 9: 3: 4) - two\r\n");
}

TEST_F(LogTest, PercentSignsInAMessageStayAsTheyAre) {
  LogMessage("http://127.0.0.1/a%20b%s%d");
  EXPECT_EQ(ReadFile("Debug.txt"), "(2012: 5: 7_ 9: 3: 4) - http://127.0.0.1/a%20b%s%d\r\n");
}

TEST_F(LogTest, LongMessageIsCutToTheLine) {
  std::string message(2000, 'm');
  LogMessage(message.c_str());
  std::string log = ReadFile("Debug.txt");
  // 511 characters and the NUL fit the buffer: 24 + 486 + the line feed.
  EXPECT_EQ(log, "(2012: 5: 7_ 9: 3: 4) - " + std::string(486, 'm') + "\r\n");
}

TEST_F(LogTest, FormattedMessage) {
  LogFormatted("New System Config File Size = %d", 17);
  EXPECT_EQ(ReadFile("Debug.txt"), "(2012: 5: 7_ 9: 3: 4) - New System Config File Size = 17\r\n");
}

TEST_F(LogTest, UnopenableLogLosesTheMessageSilently) {
  ASSERT_EQ(mkdir("Debug.txt", 0755), 0);  // a folder where the file should be
  LogMessage("lost");
  SUCCEED();
}

TEST_F(LogTest, LinesOfTwoThreadsNeverInterleave) {
  const int kLines = 300;
  auto writer = [](char c) {
    std::string message(200, c);
    for (int i = 0; i < kLines; ++i) LogMessage(message.c_str());
  };
  std::thread a(writer, 'a');
  std::thread b(writer, 'b');
  a.join();
  b.join();
  std::string log = ReadFile("Debug.txt");
  size_t lines = 0;
  for (size_t start = 0; start < log.size();) {
    size_t end = log.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    std::string body = log.substr(start + 24, end - start - 24);
    EXPECT_TRUE(body == std::string(200, 'a') || body == std::string(200, 'b'));
    ++lines;
    start = end + 2;
  }
  EXPECT_EQ(lines, 2u * kLines);
}

}  // namespace
