// ParseManifest through the worker, with the manifest served from memory.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/version.h"
#include "support/fake_urlmon.h"
#include "support/scratch_dir.h"
#include "support/versions.h"
#include "update/base_url.h"
#include "update/download_file.h"

namespace {


const char kExample[] =
    "patch = 1, 0, 0, 6\n"
    "file = game_data, pak, 0, @root\n"
    "patch = 1, 0, 0, 7\n"
    "file = readme_first, txt, 1, docs\\\n"
    "file = map_01, dat, 0, maps\\old\\\n";

class ManifestTest : public ::testing::Test {
 protected:
  std::unique_ptr<CDownloadFile> Parse(const Version& installed, const std::string& manifest) {
    server_.Serve(Url("patch.ini"), manifest);
    return RunWorker(installed);
  }
  std::string LastLogLine() {
    std::vector<std::string> lines = LogLines();
    return lines.empty() ? "" : lines.back();
  }

  ScratchDir dir_;
  FakeUrlmon server_;
  platform::ScopedUrlmonApi scoped_{&server_};
};

TEST_F(ManifestTest, ExampleKeepsOnlyTheNewerVersion) {
  auto d = Parse(V(1, 0, 0, 6), kExample);
  EXPECT_EQ(d->versionCount, 1);
  EXPECT_EQ(d->filesTotal.load(), 2);
  EXPECT_EQ(d->updating.load(), 1);
  const VersionRecord& r = d->records[0];
  EXPECT_EQ(r.version.numbers[3], 7);
  ASSERT_EQ(r.fileCount, 2);
  EXPECT_STREQ(r.files[0].name, "readme_first");
  EXPECT_STREQ(r.files[0].extension, "txt");
  EXPECT_EQ(r.files[0].spaceFlag, 1);
  EXPECT_STREQ(r.files[0].directory, "docs\\");
  EXPECT_STREQ(r.files[1].name, "map_01");
  EXPECT_STREQ(r.files[1].directory, "maps\\old\\");
  EXPECT_EQ(r.files[1].spaceFlag, 0);
  EXPECT_FALSE(FileExists("temp/patch.ini")) << "removed after a complete parse";
}

TEST_F(ManifestTest, CrLfParsesLikeLf) {
  std::string crlf;
  for (const char* c = kExample; *c != '\0'; ++c) {
    if (*c == '\n') crlf += '\r';
    crlf += *c;
  }
  auto d = Parse(V(1, 0, 0, 6), crlf);
  EXPECT_EQ(d->versionCount, 1);
  EXPECT_EQ(d->records[0].fileCount, 2);
  EXPECT_STREQ(d->records[0].files[1].directory, "maps\\old\\");
}

struct TableCase {
  const char* name;
  Version installed;
  std::string manifest;
  int versionCount;
  int filesTotal;
  bool updating;
  bool upToDate;
  std::vector<int> fileCounts;
};

class ManifestTableTest : public ManifestTest,
                          public ::testing::WithParamInterface<TableCase> {};

TEST_P(ManifestTableTest, Counts) {
  const TableCase& c = GetParam();
  auto d = Parse(c.installed, c.manifest);
  EXPECT_EQ(d->versionCount, c.versionCount);
  EXPECT_EQ(d->filesTotal.load(), c.filesTotal);
  EXPECT_EQ(d->updating.load(), c.updating ? 1 : 0);
  // The worker sets upToDate itself after downloading every retained version;
  // versions without files download nothing.
  if (!c.updating) {
    EXPECT_EQ(d->upToDate.load(), c.upToDate ? 1 : 0);
  }
  for (size_t i = 0; i < c.fileCounts.size(); ++i) {
    EXPECT_EQ(d->records[i].fileCount, c.fileCounts[i]) << "record " << i;
  }
  EXPECT_FALSE(FileExists("temp/patch.ini"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManifestTableTest,
    ::testing::Values(
        TableCase{"AllOlderOrEqual", V(1, 0, 0, 7),
                  "patch = 1,0,0,6\nfile = a, b, 0, @root\npatch = 1,0,0,7\nfile = c, d, 0, @root\n"
                  "file = e, f, 0, @root\n",
                  0, 0, false, true, {}},
        TableCase{"NewerWithoutFiles", V(1, 0, 0, 6), "patch = 1,0,0,7\n", 1, 0, true, false, {0}},
        TableCase{"OlderWithoutFilesIsCounted", V(1, 0, 0, 6), "patch = 1,0,0,5\n", 1, 0, true,
                  false, {0}},
        TableCase{"TwoNewerInManifestOrder", V(1, 0, 0, 0),
                  "patch = 1,0,0,2\nfile = a, x, 0, @root\nfile = b, x, 0, @root\n"
                  "patch = 1,0,0,1\nfile = c, x, 0, @root\nfile = d, x, 0, @root\n"
                  "file = e, x, 0, @root\n",
                  2, 5, true, false, {2, 3}},
        TableCase{"KeywordsByPrefixAndCase", V(1, 0, 0, 0),
                  "Patch = 9,9,9,9\nFILE = z, z, 0, @root\npatches = 1,0,0,1\n"
                  "files = a, x, 0, @root\n",
                  1, 1, true, false, {1}},
        TableCase{"Empty", V(1, 0, 0, 0), "", 0, 0, false, true, {}},
        TableCase{"OnlyJunk", V(1, 0, 0, 0), "hello world = 3\n", 0, 0, false, true, {}},
        TableCase{"FileBeforeAnyVersionIsIgnored", V(1, 0, 0, 0),
                  "file = a, x, 0, @root\npatch = 1,0,0,1\nfile = b, x, 0, @root\n", 1, 1, true,
                  false, {1}},
        TableCase{"PatchTokenInOlderFileBlockOpensAVersion", V(1, 0, 0, 5),
                  "patch = 1,0,0,4\nfile = patch, 1, 0, 0, 6\nfile = a, x, 0, @root\n", 1, 1, true,
                  false, {1}},
        TableCase{"CutShortBlocksAreNotCounted", V(1, 0, 0, 0),
                  "patch = 1,0,0,1\nfile = a, x, 0, @root\nfile = b, x, 0\n", 1, 1, true, false,
                  {1}},
        TableCase{"VersionCutShort", V(1, 0, 0, 0), "patch = 1,0,0", 0, 0, false, true, {}}),
    [](const ::testing::TestParamInfo<TableCase>& info) { return info.param.name; });

TEST_F(ManifestTest, FieldsAsWritten) {
  auto d = Parse(V(1, 0, 0, 0),
                 "patch = 1,0,0,1\n"
                 "file = patch, dat, 2, @Root\n"
                 "file = b_c, txt, 0, @root\n"
                 "file = d_e, txt, 1, docs\n");
  const VersionRecord& r = d->records[0];
  ASSERT_EQ(r.fileCount, 3);
  EXPECT_STREQ(r.files[0].name, "patch") << "inside a block every token is a field";
  EXPECT_EQ(r.files[0].spaceFlag, 0) << "only 1 sets the flag";
  EXPECT_STREQ(r.files[0].directory, "@Root") << "@root is case-sensitive";
  EXPECT_STREQ(r.files[1].directory, "");
  EXPECT_EQ(r.files[2].spaceFlag, 1);
  EXPECT_STREQ(r.files[2].directory, "docs");
}

struct ErrorCase {
  const char* name;
  std::string manifest;
  const char* line;
};

class ManifestErrorTest : public ManifestTest, public ::testing::WithParamInterface<ErrorCase> {};

// A format error logs its line, sets no flag, keeps temp\patch.ini and
// downloads nothing.
TEST_P(ManifestErrorTest, StopsWithoutDownloading) {
  const ErrorCase& c = GetParam();
  auto d = Parse(V(1, 0, 0, 0), c.manifest);
  EXPECT_EQ(LastLogLine(), c.line);
  EXPECT_EQ(d->updating.load(), 0);
  EXPECT_EQ(d->upToDate.load(), 0);
  EXPECT_TRUE(FileExists("temp/patch.ini"));
  EXPECT_EQ(server_.Requested().size(), 1u) << "only the manifest was fetched";
}

std::string Repeat(const std::string& block, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += block;
  return text;
}

std::string ManyVersions(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "patch = 2,0,0," + std::to_string(i) + "\n";
  return text;
}

// Full versions of 200 files until the total passes what 16 bits count.
std::string FilesBeyond16Bits() {
  std::string text;
  for (int i = 0; i * 200 <= 32767; ++i) {
    text += "patch = 2,0,0," + std::to_string(i) + "\n" + Repeat("file = a, txt, 0, @root\n", 200);
  }
  return text;
}

#define E(s, f) "(!) Patch.ini configuration file error(" #s ")(" #f ")!"

INSTANTIATE_TEST_SUITE_P(
    Cases, ManifestErrorTest,
    ::testing::Values(
        ErrorCase{"VersionWithFullStops", "patch = 1.0.0.7\n", E(1, 1)},
        ErrorCase{"ThirdNumberNotNumeric", "patch = 1, 0, x, 7\n", E(1, 3)},
        ErrorCase{"FlagNotNumeric", "patch = 1,0,0,1\nfile = a, txt, yes, @root\n", E(2, 3)},
        ErrorCase{"NumberBeyond16Bits", "patch = 1, 40000, 0, 0\n", E(1, 2)},
        ErrorCase{"NameClimbsOut", "patch = 1,0,0,1\nfile = ..\\..\\evil, txt, 0, @root\n", E(2, 1)},
        ErrorCase{"NameWithSlash", "patch = 1,0,0,1\nfile = a/b, txt, 0, @root\n", E(2, 1)},
        ErrorCase{"NameWithDrive", "patch = 1,0,0,1\nfile = C:evil, txt, 0, @root\n", E(2, 1)},
        ErrorCase{"NameWithControlByte", "patch = 1,0,0,1\nfile = a\x01, txt, 0, @root\n", E(2, 1)},
        ErrorCase{"NameIsDotDot", "patch = 1,0,0,1\nfile = .., txt, 0, @root\n", E(2, 1)},
        ErrorCase{"NameIsADevice", "patch = 1,0,0,1\nfile = con, txt, 0, @root\n", E(2, 1)},
        ErrorCase{"NameBecomesADevice", "patch = 1,0,0,1\nfile = NUL_, txt, 1, @root\n", E(2, 1)},
        ErrorCase{"ExtensionWithSlash", "patch = 1,0,0,1\nfile = a, t/x, 0, @root\n", E(2, 2)},
        ErrorCase{"ExtensionTooLong",
                  "patch = 1,0,0,1\nfile = a, abcdefghijklmnopqrst, 0, @root\n", E(2, 2)},
        ErrorCase{"AbsoluteFolder", "patch = 1,0,0,1\nfile = a, txt, 0, \\windows\\\n", E(2, 4)},
        ErrorCase{"DriveFolder", "patch = 1,0,0,1\nfile = a, txt, 0, C:\\games\\\n", E(2, 4)},
        ErrorCase{"ParentFolder", "patch = 1,0,0,1\nfile = a, txt, 0, ..\\\n", E(2, 4)},
        ErrorCase{"ParentInsideFolder", "patch = 1,0,0,1\nfile = a, txt, 0, maps\\..\\..\\\n",
                  E(2, 4)},
        ErrorCase{"DotsFolder", "patch = 1,0,0,1\nfile = a, txt, 0, maps\\...\\\n", E(2, 4)},
        ErrorCase{"SlashFolder", "patch = 1,0,0,1\nfile = a, txt, 0, maps/old\\\n", E(2, 4)},
        ErrorCase{"DeviceFolder", "patch = 1,0,0,1\nfile = a, txt, 0, aux\\\n", E(2, 4)},
        ErrorCase{"NameOver255Bytes",
                  "patch = 1,0,0,1\nfile = " + std::string(300, 'n') + ", txt, 0, @root\n", E(2, 1)},
        ErrorCase{"MoreThan200Versions", ManyVersions(201), E(0, 0)},
        ErrorCase{"MoreThan200Files",
                  "patch = 1,0,0,1\n" + Repeat("file = a, txt, 0, @root\n", 201), E(0, 0)},
        ErrorCase{"MoreFilesThan16BitsCount", FilesBeyond16Bits(), E(0, 0)}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

TEST_F(ManifestTest, ExactlyTheTableLimitsFit) {
  auto d = Parse(V(1, 0, 0, 0), ManyVersions(200));
  EXPECT_EQ(d->versionCount, 200);
  auto e = Parse(V(1, 0, 0, 0), "patch = 1,0,0,1\n" + Repeat("file = a, txt, 0, @root\n", 200));
  EXPECT_EQ(e->records[0].fileCount, 200);
}

TEST_F(ManifestTest, MissingTemporaryManifestChangesNothing) {
  // The fake serves no manifest: a 404 page, which is no manifest.
  auto d = RunWorker(V(1, 0, 0, 0));
  EXPECT_EQ(d->updating.load(), 0);
  EXPECT_EQ(d->upToDate.load(), 0);
  EXPECT_EQ(d->versionCount, 0);
  EXPECT_FALSE(FileExists("temp/patch.ini"));
}

}  // namespace
