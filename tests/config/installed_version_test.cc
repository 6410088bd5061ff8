#include "config/installed_version.h"

#include <gtest/gtest.h>

#include <string>

#include "config/version.h"
#include "platform/win32.h"
#include "platform/linux/kernel.h"
#include "support/scratch_dir.h"
#include "support/versions.h"

namespace {

std::string Str(const Version& v) {
  return std::to_string(v.numbers[0]) + "." + std::to_string(v.numbers[1]) + "." +
         std::to_string(v.numbers[2]) + "." + std::to_string(v.numbers[3]);
}

class InstalledVersionTest : public ::testing::Test {
 protected:
  void SetUp() override { SetInstalledVersion(V(0, 0, 0, 0)); }
  ScratchDir dir_;
};

struct LoadCase {
  const char* name;
  std::string contents;
  bool result;
  Version version;
  const char* logged;  // the error line, or nullptr for an untouched log
};

class LoadTest : public InstalledVersionTest,
                 public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadTest, ReadsTheFileLeniently) {
  const LoadCase& c = GetParam();
  WriteFile("System.ini", c.contents);
  EXPECT_EQ(LoadInstalledVersion(), c.result);
  EXPECT_EQ(Str(InstalledVersion()), Str(c.version));
  std::string log = ReadFile("Debug.txt");
  if (c.logged == nullptr) {
    EXPECT_EQ(log, "");
  } else {
    ASSERT_GE(log.size(), 24u);
    EXPECT_EQ(log.substr(24), std::string(c.logged) + "\r\n");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadTest,
    ::testing::Values(
        LoadCase{"Plain", "Version = 1.0.0.7", true, V(1, 0, 0, 7), nullptr},
        LoadCase{"Commas", "Version=1,0,0,7", true, V(1, 0, 0, 7), nullptr},
        LoadCase{"OnePartPerLine", "Version\n1\n0\n0\n7\n", true, V(1, 0, 0, 7), nullptr},
        LoadCase{"CrLfLines", "Version\r\n1\r\n0\r\n0\r\n7\r\n", true, V(1, 0, 0, 7),
                 nullptr},
        LoadCase{"LastKeywordWins", "Version = 1.2.3.4\nVersion = 5.6.7.8", true,
                 V(5, 6, 7, 8), nullptr},
        LoadCase{"Negative", "Version = -1.2.3.4", true, V(-1, 2, 3, 4), nullptr},
        LoadCase{"EmptyFile", "", true, V(0, 0, 0, 0), nullptr},
        LoadCase{"NoKeyword", "Build = 1.2.3.4", true, V(0, 0, 0, 0), nullptr},
        LoadCase{"ThreeNumbersOneLineEnd", "Version = 1.2.3\n", true, V(1, 2, 3, 0),
                 nullptr},
        LoadCase{"ThreeNumbersTwoLineEnds", "Version = 1.2.3\n\n", true, V(1, 2, 3, 0),
                 nullptr},
        LoadCase{"FiveNumbers", "Version = 1.2.3.4.5", true, V(1, 2, 3, 4), nullptr},
        LoadCase{"ColonIsNoDelimiter", "Version:1.2.3.4", true, V(2, 3, 4, 0), nullptr},
        LoadCase{"LowerCaseKeyword", "version = 1.2.3.4", true, V(0, 0, 0, 0), nullptr},
        LoadCase{"SixteenBitWrap", "Version = 40000.70000.0.1", true, V(-25536, 4464, 0, 1),
                 nullptr},
        LoadCase{"BadThirdNumber", "Version = 1.2.x.4", false, V(1, 2, 0, 0),
                 "(!) System.ini configuration file error(1)(3)!"},
        LoadCase{"KeywordTwice", "Version Version 1.2.3.4", false, V(0, 0, 0, 0),
                 "(!) System.ini configuration file error(1)(1)!"}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return info.param.name; });

TEST_F(InstalledVersionTest, MissingFileIsFalseWithoutALogLine) {
  EXPECT_FALSE(LoadInstalledVersion());
  EXPECT_FALSE(FileExists("Debug.txt"));
}

TEST_F(InstalledVersionTest, FolderNamedSystemIniIsNoFile) {
  ASSERT_TRUE(CreateDirectoryA("System.ini", nullptr));
  EXPECT_FALSE(LoadInstalledVersion());
}

struct SaveCase {
  Version version;
  std::string bytes;
};

TEST_F(InstalledVersionTest, SaveWritesTheExactLineAndLogsItsSize) {
  const SaveCase cases[] = {
      {V(1, 0, 0, 7), "Version = 1.0.0.7"},
      {V(-1, 2, 3, 4), "Version = -1.2.3.4"},
      {V(32767, -32768, 0, 12), "Version = 32767.-32768.0.12"},
  };
  for (const SaveCase& c : cases) {
    WriteFile("Debug.txt", "");
    SetInstalledVersion(c.version);
    SaveInstalledVersion();
    EXPECT_EQ(ReadFile("System.ini"), c.bytes);
    std::string log = ReadFile("Debug.txt");
    ASSERT_GE(log.size(), 24u);
    EXPECT_EQ(log.substr(24),
              "New System Config File Size = " + std::to_string(c.bytes.size()) + "\r\n");
    EXPECT_FALSE(FileExists("System.ini.tmp"));

    SetInstalledVersion(V(9, 9, 9, 9));
    EXPECT_TRUE(LoadInstalledVersion());
    EXPECT_EQ(Str(InstalledVersion()), Str(c.version)) << "reads back what it wrote";
  }
}

// A disk that fills up after this many bytes of any file write.
class FullDisk : public platform::KernelApiWrapper {
 public:
  explicit FullDisk(DWORD room) : room_(room) {}
  BOOL WriteFile(HANDLE file, const void* data, DWORD size, DWORD* written) override {
    DWORD part = size < room_ ? size : room_;
    room_ -= part;
    BOOL ok = platform::KernelApiWrapper::WriteFile(file, data, part, written);
    if (part < size) {
      SetLastError(112);
      return FALSE;
    }
    return ok;
  }

 private:
  DWORD room_;
};

class FailingRename : public platform::KernelApiWrapper {
 public:
  BOOL MoveFileEx(const char*, const char*, DWORD) override {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
};

TEST_F(InstalledVersionTest, FailedSaveKeepsThePreviousFileWhole) {
  WriteFile("System.ini", "Version = 1.0.0.6");
  SetInstalledVersion(V(1, 0, 0, 7));
  {
    FullDisk disk(5);
    platform::ScopedKernelApi scoped(&disk);
    SaveInstalledVersion();
  }
  EXPECT_EQ(ReadFile("System.ini"), "Version = 1.0.0.6");
  EXPECT_FALSE(FileExists("System.ini.tmp"));
  {
    FailingRename rename;
    platform::ScopedKernelApi scoped(&rename);
    SaveInstalledVersion();
  }
  EXPECT_EQ(ReadFile("System.ini"), "Version = 1.0.0.6");
  EXPECT_FALSE(FileExists("System.ini.tmp"));
  EXPECT_EQ(ReadFile("Debug.txt"), "") << "no size line for a save that did not happen";
  EXPECT_EQ(Str(InstalledVersion()), "1.0.0.7") << "memory stays advanced";
}

TEST_F(InstalledVersionTest, StaleTemporaryOfACutSaveIsRemovedAtLoad) {
  WriteFile("System.ini", "Version = 1.0.0.6");
  WriteFile("System.ini.tmp", "Vers");
  EXPECT_TRUE(LoadInstalledVersion());
  EXPECT_FALSE(FileExists("System.ini.tmp"));
  EXPECT_EQ(Str(InstalledVersion()), "1.0.0.6");
}

TEST(Version, NewerIsLexicographicAndSigned) {
  EXPECT_TRUE(IsNewer(V(1, 0, 0, 7), V(1, 0, 0, 6)));
  EXPECT_FALSE(IsNewer(V(1, 0, 0, 6), V(1, 0, 0, 6)));
  EXPECT_TRUE(IsNewer(V(2, 0, 0, 0), V(1, 9, 9, 9)));
  EXPECT_FALSE(IsNewer(V(-1, 9, 9, 9), V(0, 0, 0, 0)));
  EXPECT_TRUE(IsNewer(V(0, 0, 0, 1), V(0, 0, 0, -1)));
}

}  // namespace
