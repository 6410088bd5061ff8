// The publisher's refusals and its check of a server, without a web server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "publish/publisher.h"
#include "support/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

void Make(const std::string& path, const std::string& bytes = "bytes\n") {
  fs::path file(path);
  if (file.has_parent_path()) fs::create_directories(file.parent_path());
  WriteFile(path, bytes);
}

// Every path under a folder with its bytes, so a test sees any write.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> tree;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    tree[item.path().string()] = item.is_regular_file() ? ReadFile(item.path()) : "<folder>";
  }
  return tree;
}

std::string Versions(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) {
    text += "patch = 1, 0, 0, " + std::to_string(i) + "\nfile = f" + std::to_string(i) +
            ", txt, 0, @root\n";
  }
  return text;
}

TEST(EncodeBuildPath, BuildsTheFieldsTheLauncherRebuildsThePathFrom) {
  struct Case {
    const char* relative;
    const char* name;
    const char* extension;
    int spaceFlag;
    const char* directory;
  };
  const Case cases[] = {
      {"game.pak", "game", "pak", 0, ""},
      {"docs/read me first.txt", "read_me_first", "txt", 1, "docs\\"},
      {"maps/old/map_01.dat", "map_01", "dat", 0, "maps\\old\\"},
      {"archive.tar.gz", "archive.tar", "gz", 0, ""},
      {"trailing .txt", "trailing_", "txt", 1, ""},
      {"files/filelist.cfg", "filelist", "cfg", 0, "files\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.relative);
    FileEntry entry;
    ASSERT_EQ(EncodeBuildPath(c.relative, &entry), "");
    EXPECT_STREQ(entry.name, c.name);
    EXPECT_STREQ(entry.extension, c.extension);
    EXPECT_EQ(entry.spaceFlag, c.spaceFlag);
    EXPECT_STREQ(entry.directory, c.directory);
    char local[1024];
    LocalPathOf(entry, local, sizeof local);
    std::string expected = c.relative;
    std::replace(expected.begin(), expected.end(), '/', '\\');
    EXPECT_EQ(local, expected) << "the launcher rebuilds the build's path";
  }
}

TEST(ParseVersionText, TakesFourNumbersFrom0To32767) {
  Version v;
  EXPECT_TRUE(ParseVersionText("1.0.0.7", &v));
  EXPECT_EQ(v.numbers[0], 1);
  EXPECT_EQ(v.numbers[3], 7);
  EXPECT_TRUE(ParseVersionText("32767.0.0.0", &v));
  for (const char* bad : {"1.0.7", "1.0.0.7.1", "1.0.0.-1", "1.0.0.32768", "1.0.0.x", "1..0.0",
                          "", "1.0.0.7 "}) {
    EXPECT_FALSE(ParseVersionText(bad, &v)) << bad;
  }
}

// A refused publish says why, naming the file, and writes nothing.
struct Refusal {
  const char* name;
  std::function<void()> arrange;  // makes build/ (and server/) in the working directory
  const char* version;
  const char* since;
  const char* message;  // part of the reason given
};

class RefusalTest : public ::testing::TestWithParam<Refusal> {
 protected:
  ScratchDir dir_;
};

TEST_P(RefusalTest, WritesNothing) {
  const Refusal& c = GetParam();
  fs::create_directories("server");
  fs::create_directories("build");
  Make("server/patch.ini", Versions(1));
  Make("server/1.0.0.1/f1.ini");
  c.arrange();
  auto before = Snapshot("server");

  std::ostringstream progress;
  std::string problem = AddVersion({"server", c.version, "build", c.since}, progress);
  EXPECT_NE(problem.find(c.message), std::string::npos) << problem;
  EXPECT_EQ(Snapshot("server"), before);
}

std::function<void()> Files(std::initializer_list<const char*> paths) {
  std::vector<std::string> list(paths.begin(), paths.end());
  return [list] {
    for (const std::string& path : list) Make("build/" + path);
  };
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusalTest,
    ::testing::Values(
        Refusal{"NoExtension", Files({"README"}), "1.0.0.2", "",
                "build/README: it has no extension"},
        Refusal{"NoNameBeforeExtension", Files({".hidden"}), "1.0.0.2", "",
                "build/.hidden: it has no name before its extension"},
        Refusal{"SpacesAndUnderscores", Files({"docs/my_read me.txt"}), "1.0.0.2", "",
                "build/docs/my_read me.txt: its name has both spaces and underscores"},
        Refusal{"CommaInName", Files({"a,b.txt"}), "1.0.0.2", "",
                "build/a,b.txt: its path has ',', which separates the fields"},
        Refusal{"EqualsInFolder", Files({"x=y/a.txt"}), "1.0.0.2", "",
                "its path has '=', which separates the fields"},
        Refusal{"TabInName", Files({"a\tb.txt"}), "1.0.0.2", "", "the control byte 0x09"},
        Refusal{"QuestionMark", Files({"what?.txt"}), "1.0.0.2", "",
                "'?', which Windows does not allow"},
        Refusal{"Backslash", Files({"a\\b.txt"}), "1.0.0.2", "",
                "'\\', which Windows does not allow"},
        Refusal{"NotAscii", Files({"caf\xc3\xa9.txt"}), "1.0.0.2", "",
                "the byte 0xC3, which is not plain ASCII"},
        Refusal{"SpaceInFolder", Files({"old maps/a.txt"}), "1.0.0.2", "",
                "the folder 'old maps' has a space"},
        Refusal{"SpaceInExtension", Files({"a.t xt"}), "1.0.0.2", "", "its extension has a space"},
        Refusal{"FolderEndsWithDot", Files({"maps./a.txt"}), "1.0.0.2", "",
                "the folder 'maps.' ends with a full stop"},
        Refusal{"ExtensionOver19", Files({"a.abcdefghijklmnopqrst"}), "1.0.0.2", "",
                "its extension has 20 characters; the launcher takes at most 19"},
        Refusal{"PathOver254",
                [] { Make("build/" + std::string(200, 'd') + "/" + std::string(51, 'n') + ".txt"); },
                "1.0.0.2", "", "its path has 256 characters; the launcher takes at most 254"},
        Refusal{"DeviceName", Files({"con.txt"}), "1.0.0.2", "", "a Windows device name"},
        Refusal{"DeviceFolder", Files({"aux/a.txt"}), "1.0.0.2", "", "a Windows device name"},
        Refusal{"NameBeginsWithPatch", Files({"patch_notes.txt"}), "1.0.0.2", "",
                "'patch_notes' begins with \"patch\""},
        Refusal{"FolderBeginsWithPatch", Files({"patches/a.txt"}), "1.0.0.2", "",
                "'patches\\' begins with \"patch\""},
        Refusal{"ExtensionPatch", Files({"fix.patch"}), "1.0.0.2", "",
                "'patch' begins with \"patch\""},
        Refusal{"InstalledVersionFile", Files({"System.ini"}), "1.0.0.2", "",
                "System.ini is the launcher's record"},
        Refusal{"SameName", Files({"data.idx", "data.pak"}), "1.0.0.2", "",
                "build/data.idx and build/data.pak share the name 'data'"},
        Refusal{"SameNameCaseAside", Files({"Readme.txt", "docs/README.md"}), "1.0.0.2", "",
                "have the names 'Readme' and 'README', which only case tells apart"},
        Refusal{"NotAFile", [] { mkfifo("build/pipe.dat", 0644); }, "1.0.0.2", "",
                "build/pipe.dat: not a regular file"},
        Refusal{"VersionNotNewer", Files({"a.txt"}), "1.0.0.1", "",
                "VERSION 1.0.0.1 is not newer than 1.0.0.1, the last version in patch.ini"},
        Refusal{"VersionOlder", Files({"a.txt"}), "0.9.0.0", "", "is not newer than 1.0.0.1"},
        Refusal{"VersionMalformed", Files({"a.txt"}), "1.0.2", "",
                "VERSION '1.0.2' is not four numbers"},
        Refusal{"MoreThan200Files",
                [] {
                  for (int i = 0; i < 201; ++i) Make("build/f" + std::to_string(i) + ".txt");
                },
                "1.0.0.2", "", "build has 201 files to publish; a version holds at most 200"},
        Refusal{"ManifestFull",
                [] { Make("server/patch.ini", Versions(200)); }, "1.0.1.0", "",
                "patch.ini already lists 200 versions"},
        Refusal{"MoreFilesThanTheLauncherCounts",
                [] {
                  std::string text;
                  for (int v = 0; v < 163; ++v) {
                    text += "patch = 1, 0, 0, " + std::to_string(v + 1) + "\n";
                    for (int f = 0; f < 200; ++f) text += "file = f" + std::to_string(f) + ", t, 0, @root\n";
                  }
                  Make("server/patch.ini", text);
                  for (int i = 0; i < 200; ++i) Make("build/f" + std::to_string(i) + ".txt");
                },
                "1.0.1.0", "", "patch.ini would list 32800 files; the launcher counts at most 32767"},
        Refusal{"UnlistedVersionFolder",
                [] {
                  Make("build/a.txt");
                  Make("server/1.0.0.2/left_over.ini");
                },
                "1.0.0.2", "", "already exists, but patch.ini does not list 1.0.0.2"},
        Refusal{"UnreadableManifest",
                [] {
                  Make("build/a.txt");
                  Make("server/patch.ini", "patch = 1, 0, 0, x\n");
                },
                "1.0.0.2", "", "the launcher cannot read it (format error (1)(4))"},
        Refusal{"EmptyBuild", [] {}, "1.0.0.2", "", "build: no files to publish"},
        Refusal{"NothingChanged",
                [] {
                  Make("build/a.txt", "same");
                  Make("previous/a.txt", "same");
                },
                "1.0.0.2", "previous", "no file of build is new or differs from previous"},
        Refusal{"NoBuildFolder", [] { fs::remove_all("build"); }, "1.0.0.2", "",
                "build: no such folder"},
        Refusal{"AnotherPublisher",
                [] {
                  Make("build/a.txt");
                  // Held until the process ends: the test's own scratch folder goes with it.
                  int fd = open("server", O_RDONLY | O_DIRECTORY);
                  flock(fd, LOCK_EX);
                },
                "1.0.0.2", "", "another orvanel-publish is publishing there"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.name; });

// check: a summary, and a problem for everything that keeps a launcher from
// reaching the newest version.
struct CheckCase {
  const char* name;
  std::string manifest;
  std::vector<std::string> stored;  // server files
  const char* problem;              // "" for none
};

class CheckTest : public ::testing::TestWithParam<CheckCase> {
 protected:
  ScratchDir dir_;
};

TEST_P(CheckTest, ReportsProblems) {
  const CheckCase& c = GetParam();
  fs::create_directories("server");
  if (!c.manifest.empty()) Make("server/patch.ini", c.manifest);
  for (const std::string& path : c.stored) Make("server/" + path, "12345");
  std::ostringstream out;
  int problems = CheckServer("server", out);
  if (c.problem[0] == '\0') {
    EXPECT_EQ(problems, 0) << out.str();
  } else {
    EXPECT_GE(problems, 1);
    EXPECT_NE(out.str().find(std::string("problem: ") + c.problem), std::string::npos)
        << out.str();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckTest,
    ::testing::Values(
        CheckCase{"Healthy",
                  "patch = 1, 0, 0, 1\r\nfile = read_me, txt, 1, docs\\\r\n"
                  "patch = 1, 0, 0, 2\r\nfile = read_me, txt, 1, docs\\\r\n",
                  {"1.0.0.1/read_me.ini", "1.0.0.2/read_me.ini"}, ""},
        CheckCase{"MissingFile", "patch = 1, 0, 0, 1\nfile = map_01, dat, 0, maps\\old\\\n", {},
                  "1.0.0.1: maps\\old\\map_01.dat should be on the server as "
                  "server/1.0.0.1/map_01.ini, which is missing"},
        CheckCase{"NoManifest", "", {}, "server/patch.ini: cannot be read"},
        CheckCase{"FormatError", "patch = 1, 0, 0, 1\nfile = a, txt, yes, @root\n", {},
                  "the launcher stops reading patch.ini with format error (2)(3)"},
        // New installations read it; a launcher at 1.0.0.1 passes over its
        // file blocks and takes patch_notes for a version block.
        CheckCase{"FieldBeginsWithPatch",
                  "patch = 1, 0, 0, 1\nfile = patch_notes, txt, 0, @root\n"
                  "patch = 1, 0, 0, 2\nfile = a, txt, 0, @root\n",
                  {"1.0.0.1/patch_notes.ini", "1.0.0.2/a.ini"},
                  "a launcher at 1.0.0.1 cannot read patch.ini: format error (1)(1)"},
        CheckCase{"OutOfOrder",
                  "patch = 1, 0, 0, 2\nfile = a, txt, 0, @root\n"
                  "patch = 1, 0, 0, 1\nfile = b, txt, 0, @root\n",
                  {"1.0.0.2/a.ini", "1.0.0.1/b.ini"},
                  "version 1.0.0.1 follows 1.0.0.2, which is not older"},
        CheckCase{"EmptyVersion",
                  "patch = 1, 0, 0, 1\nfile = a, txt, 0, @root\npatch = 1, 0, 0, 2\n",
                  {"1.0.0.1/a.ini"}, "version 1.0.0.2 has no files"},
        CheckCase{"SharedName",
                  "patch = 1, 0, 0, 1\nfile = data, pak, 0, @root\nfile = data, idx, 0, @root\n",
                  {"1.0.0.1/data.ini"}, "1.0.0.1: two files share the name 'data'"}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

TEST(CheckServer, SummarisesVersionsFilesAndBytes) {
  ScratchDir dir;
  Make("server/patch.ini", Versions(3));
  for (int i = 1; i <= 3; ++i) {
    Make("server/1.0.0." + std::to_string(i) + "/f" + std::to_string(i) + ".ini", "12345");
  }
  std::ostringstream out;
  EXPECT_EQ(CheckServer("server", out), 0);
  EXPECT_EQ(out.str(), "patch.ini: 3 versions (1.0.0.1 to 1.0.0.3), 3 files, 15 bytes\nno problems\n");
}

// A publish that a kill cut short left its half-copied folder; the next one
// starts that folder afresh.
TEST(AddVersion, ReplacesTheFolderOfAnInterruptedPublish) {
  ScratchDir dir;
  Make("build/a.txt", "new");
  Make("server/.1.0.0.1.publishing/stale.ini", "half");
  std::ostringstream progress;
  ASSERT_EQ(AddVersion({"server", "1.0.0.1", "build", ""}, progress), "");
  EXPECT_EQ(ReadFile("server/1.0.0.1/a.ini"), "new");
  EXPECT_FALSE(FileExists("server/1.0.0.1/stale.ini"));
  EXPECT_FALSE(FileExists("server/.1.0.0.1.publishing"));
  EXPECT_FALSE(FileExists("server/.patch.ini.publishing"));
  EXPECT_EQ(ReadFile("server/patch.ini"), "patch = 1, 0, 0, 1\nfile = a, txt, 0, @root\n");
}

// A manifest written by hand with CR LF keeps its bytes and its line ends.
TEST(AddVersion, AppendsToTheManifestAsItStands) {
  ScratchDir dir;
  const std::string old = "; written by hand\r\npatch = 1, 0, 0, 1\r\nfile = a, txt, 0, @root";
  Make("server/patch.ini", old);
  Make("server/1.0.0.1/a.ini");
  Make("build/docs/b c.txt");
  std::ostringstream progress;
  ASSERT_EQ(AddVersion({"server", "1.0.0.2", "build", ""}, progress), "");
  EXPECT_EQ(ReadFile("server/patch.ini"),
            old + "\r\npatch = 1, 0, 0, 2\r\nfile = b_c, txt, 1, docs\\\r\n");
}

// The server's files go where the web server, another user, can read them.
TEST(AddVersion, LeavesFilesReadableByTheWebServer) {
  ScratchDir dir;
  Make("build/a.txt");
  chmod("build/a.txt", 0600);
  umask(077);
  std::ostringstream progress;
  std::string problem = AddVersion({"server", "1.0.0.1", "build", ""}, progress);
  umask(022);
  ASSERT_EQ(problem, "server: no such folder (make the folder the web server serves first)");
  fs::create_directories("server");
  umask(077);
  problem = AddVersion({"server", "1.0.0.1", "build", ""}, progress);
  umask(022);
  ASSERT_EQ(problem, "");
  for (const char* path : {"server/patch.ini", "server/1.0.0.1/a.ini", "server/1.0.0.1"}) {
    struct stat info;
    ASSERT_EQ(stat(path, &info), 0);
    EXPECT_EQ(info.st_mode & 0044, 0044u) << path;
  }
}

}  // namespace
