// The kernel family of the Linux layer: what the launcher relies on.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32.h"
#include "support/scratch_dir.h"

namespace {

class NamedMutexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Named objects live in the runtime folder; a private one per test.
    previous_ = getenv("XDG_RUNTIME_DIR") ? getenv("XDG_RUNTIME_DIR") : "";
    setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
  }
  void TearDown() override {
    if (previous_.empty()) {
      unsetenv("XDG_RUNTIME_DIR");
    } else {
      setenv("XDG_RUNTIME_DIR", previous_.c_str(), 1);
    }
  }

  // A child process that creates the mutex and then waits; returns its pid
  // once the mutex exists.
  pid_t ChildHolding(const char* name) {
    int ready[2];
    if (pipe(ready) != 0) abort();
    pid_t pid = fork();
    if (pid == 0) {
      close(ready[0]);
      CreateMutexA(nullptr, FALSE, name);
      if (write(ready[1], "x", 1) != 1) _exit(1);
      pause();
      _exit(0);
    }
    close(ready[1]);
    char c;
    EXPECT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    return pid;
  }

  ScratchDir dir_;
  std::string previous_;
};

TEST_F(NamedMutexTest, ExistsExactlyWhileAHandleIsOpen) {
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "Orvanel Launcher"), nullptr);
  HANDLE mine = CreateMutexA(nullptr, FALSE, "Orvanel Launcher");
  ASSERT_NE(mine, nullptr);
  HANDLE seen = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "Orvanel Launcher");
  ASSERT_NE(seen, nullptr);
  EXPECT_FALSE(ReleaseMutex(mine)) << "never owned, so nothing to release";
  EXPECT_TRUE(CloseHandle(mine));
  EXPECT_TRUE(CloseHandle(seen));
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "Orvanel Launcher"), nullptr);
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "Other"), nullptr);
}

TEST_F(NamedMutexTest, AnotherProcessSeesItAndItsEndFreesTheName) {
  for (int signal : {SIGTERM, SIGKILL}) {
    pid_t child = ChildHolding("Orvanel Launcher");
    HANDLE seen = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "Orvanel Launcher");
    EXPECT_NE(seen, nullptr);
    CloseHandle(seen);
    kill(child, signal);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "Orvanel Launcher"), nullptr)
        << "freed after signal " << signal;
  }
}

TEST_F(NamedMutexTest, CreatingAnExistingNameSaysSo) {
  HANDLE first = CreateMutexA(nullptr, FALSE, "a/b\\c d");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  HANDLE second = CreateMutexA(nullptr, FALSE, "a/b\\c d");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(first);
  CloseHandle(second);
}

TEST(KernelHandles, NullAndInvalidHandlesAreRefused) {
  EXPECT_FALSE(CloseHandle(nullptr));
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(ReleaseMutex(nullptr));
  EXPECT_EQ(GetFileSize(INVALID_HANDLE_VALUE, nullptr), INVALID_FILE_SIZE);
}

class FilesTest : public ::testing::Test {
 protected:
  ScratchDir dir_;
};

TEST_F(FilesTest, BackslashIsAFolderSeparator) {
  EXPECT_TRUE(CreateDirectoryA("maps", nullptr));
  EXPECT_TRUE(CreateDirectoryA("maps\\old", nullptr));
  EXPECT_FALSE(CreateDirectoryA("maps\\old", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  FILE* stream = nullptr;
  ASSERT_EQ(fopen_s(&stream, "maps\\old\\map_01.dat", "wb"), 0);
  fputs("map", stream);
  fclose(stream);
  EXPECT_EQ(ReadFile("maps/old/map_01.dat"), "map");

  HANDLE file = CreateFileA("maps\\old\\map_01.dat", GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(file, nullptr), 3u);
  CloseHandle(file);
  EXPECT_TRUE(MoveFileExA("maps\\old\\map_01.dat", "maps\\map.dat", 0));
  EXPECT_TRUE(DeleteFileA("maps\\map.dat"));
  EXPECT_FALSE(FileExists("maps/map.dat"));
}

TEST_F(FilesTest, MoveReplacesOnlyWhenAsked) {
  WriteFile("a", "new");
  WriteFile("b", "old");
  EXPECT_FALSE(MoveFileExA("a", "b", 0));
  EXPECT_EQ(ReadFile("b"), "old");
  EXPECT_TRUE(MoveFileExA("a", "b", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  EXPECT_EQ(ReadFile("b"), "new");
  EXPECT_FALSE(FileExists("a"));
}

TEST_F(FilesTest, MissingFileCannotBeOpened) {
  EXPECT_EQ(CreateFileA("none", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  FILE* stream = nullptr;
  EXPECT_NE(fopen_s(&stream, "none", "rt"), 0);
  EXPECT_EQ(stream, nullptr);
}

// Text mode as on Windows: LF in memory, CR LF on disk.
TEST_F(FilesTest, TextModeWritesCrLfAndReadsItBack) {
  FILE* stream = nullptr;
  ASSERT_EQ(fopen_s(&stream, "t.txt", "wt"), 0);
  fputs("a\nb\r\n\n", stream);
  fclose(stream);
  EXPECT_EQ(ReadFile("t.txt"), "a\r\nb\r\r\n\r\n");

  ASSERT_EQ(fopen_s(&stream, "t.txt", "at"), 0);
  fputs("c\n", stream);
  fclose(stream);
  EXPECT_EQ(ReadFile("t.txt"), "a\r\nb\r\r\n\r\nc\r\n");

  struct ReadCase {
    std::string disk;
    std::string memory;
  };
  const ReadCase cases[] = {
      {"a\r\nb", "a\nb"},
      {"lone\rcr", "lone\rcr"},
      {"end\r", "end\r"},
      {"\r\r\n", "\r\n"},
      {std::string(4095, 'x') + "\r\n" + "y", std::string(4095, 'x') + "\ny"},  // pair across a refill
  };
  for (const ReadCase& c : cases) {
    WriteFile("r.txt", c.disk);
    ASSERT_EQ(fopen_s(&stream, "r.txt", "rt"), 0);
    std::string read;
    char buffer[1000];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, stream)) > 0) read.append(buffer, n);
    fclose(stream);
    EXPECT_EQ(read, c.memory);
  }
}

TEST_F(FilesTest, BinaryModeKeepsBytes) {
  FILE* stream = nullptr;
  ASSERT_EQ(fopen_s(&stream, "b.bin", "wb"), 0);
  fputs("a\nb", stream);
  fclose(stream);
  EXPECT_EQ(ReadFile("b.bin"), "a\nb");
}

TEST(Time, LocalTimeIsPlausible) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_GE(now.wYear, 2024);
  EXPECT_GE(now.wMonth, 1);
  EXPECT_LE(now.wMonth, 12);
  EXPECT_LE(now.wHour, 23);
  EXPECT_LE(now.wMilliseconds, 999);
}

}  // namespace
