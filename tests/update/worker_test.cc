// The update worker against a server in memory that behaves as urlmon does.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "config/version.h"
#include "support/fake_urlmon.h"
#include "support/scratch_dir.h"
#include "support/versions.h"
#include "update/base_url.h"
#include "update/download_file.h"

namespace {

using Lines = std::vector<std::string>;


const char kOk[] = "The download completed successfully.";
const char kInvalid[] = "The specified resource or callback interface was invalid.";

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile("System.ini", "Version = 1.0.0.6"); }

  std::unique_ptr<CDownloadFile> Run(const Version& installed) { return RunWorker(installed); }

  ScratchDir dir_;
  FakeUrlmon server_;
  platform::ScopedUrlmonApi scoped_{&server_};
};

TEST_F(WorkerTest, ExampleUpdateLogsEveryStepAndSavesTheVersion) {
  server_.Serve(Url("patch.ini"),
                "patch = 1, 0, 0, 6\nfile = game_data, pak, 0, @root\n"
                "patch = 1, 0, 0, 7\nfile = readme_first, txt, 1, docs\\\n"
                "file = map_01, dat, 0, maps\\old\\\n");
  server_.Serve(Url("1.0.0.7/readme_first.ini"), "read me");
  server_.Serve(Url("1.0.0.7/map_01.ini"), std::string(2500, 'm'));
  auto d = Run(V(1, 0, 0, 6));

  Lines expected = {Url("patch.ini"),
                    "temp\\patch.ini",
                    kOk,
                    Url("1.0.0.7/readme_first.ini"),
                    "docs\\readme first.txt",
                    "docs",
                    kOk,
                    Url("1.0.0.7/map_01.ini"),
                    "maps\\old\\map_01.dat",
                    "maps",
                    "maps\\old",
                    kOk,
                    "New System Config File Size = 17",
                    "Updates completed successfully."};
  EXPECT_EQ(LogLines(), expected);
  EXPECT_EQ(ReadFile("docs/readme first.txt"), "read me");
  EXPECT_EQ(ReadFile("maps/old/map_01.dat"), std::string(2500, 'm'));
  EXPECT_EQ(ReadFile("System.ini"), "Version = 1.0.0.7");
  EXPECT_EQ(d->upToDate.load(), 1);
  EXPECT_EQ(d->updating.load(), 1);
  EXPECT_EQ(d->filesDone.load(), 2);
  EXPECT_EQ(d->callback.percent.load(), 100);
  char name[PublishedName::kSize];
  d->currentName.Get(name);
  EXPECT_STREQ(name, "map_01") << "the manifest name, underscores kept";
  EXPECT_FALSE(FileExists("docs/readme first.txt.part"));
  d.reset();
  EXPECT_EQ(LogLines().back(), "(TESTCODE) Deleting DownloadFile Dump.");
}

TEST_F(WorkerTest, NothingNewerStopsAfterTheManifest) {
  server_.Serve(Url("patch.ini"), "patch = 1, 0, 0, 6\nfile = a, b, 0, @root\n");
  auto d = Run(V(1, 0, 0, 6));
  EXPECT_EQ(LogLines(), (Lines{Url("patch.ini"), "temp\\patch.ini", kOk}));
  EXPECT_EQ(d->upToDate.load(), 1);
  EXPECT_EQ(d->updating.load(), 0);
}

struct FetchFailure {
  const char* name;
  HRESULT result;  // S_OK: the fake's 404 page
  const char* line;
};

class ManifestFetchTest : public WorkerTest, public ::testing::WithParamInterface<FetchFailure> {};

TEST_P(ManifestFetchTest, FailureEndsTheWorkerWithoutAFlag) {
  const FetchFailure& c = GetParam();
  if (c.result != S_OK) server_.Fail(Url("patch.ini"), c.result);
  auto d = Run(V(1, 0, 0, 6));
  EXPECT_EQ(LogLines(), (Lines{Url("patch.ini"), "temp\\patch.ini", c.line}));
  EXPECT_EQ(d->updating.load(), 0);
  EXPECT_EQ(d->upToDate.load(), 0);
  EXPECT_FALSE(FileExists("temp/patch.ini")) << "an error page is no manifest";
  EXPECT_FALSE(FileExists("temp/patch.ini.part"));
}

INSTANTIATE_TEST_SUITE_P(
    Results, ManifestFetchTest,
    ::testing::Values(FetchFailure{"NotFoundReportedAsSuccess", S_OK, kInvalid},
                      FetchFailure{"DownloadFailure", INET_E_DOWNLOAD_FAILURE, kInvalid},
                      FetchFailure{"OutOfMemory", E_OUTOFMEMORY, "Download out of memory."},
                      FetchFailure{"Other", E_FAIL, "Unknown download error."}),
    [](const ::testing::TestParamInfo<FetchFailure>& info) { return info.param.name; });

TEST_F(WorkerTest, FailureOnTheSecondFileOfTheSecondVersion) {
  server_.Serve(Url("patch.ini"),
                "patch = 1,0,0,7\nfile = a, txt, 0, @root\nfile = b, txt, 0, @root\n"
                "patch = 1,0,0,8\nfile = c, txt, 0, @root\nfile = d, txt, 0, @root\n"
                "file = e, txt, 0, @root\n");
  for (const char* name : {"a", "b"}) server_.Serve(Url(std::string("1.0.0.7/") + name + ".ini"), name);
  server_.Serve(Url("1.0.0.8/c.ini"), "c");
  WriteFile("d.txt", "old d");  // installed earlier: must survive the failure whole
  auto d = Run(V(1, 0, 0, 6));

  Lines lines = LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], kInvalid);
  EXPECT_EQ(lines[lines.size() - 1], kInvalid) << "logged by the download and as the final line";
  EXPECT_EQ(ReadFile("System.ini"), "Version = 1.0.0.7");
  EXPECT_EQ(Version(InstalledVersion()).numbers[3], 7);
  EXPECT_EQ(d->updating.load(), 1);
  EXPECT_EQ(d->upToDate.load(), 0);
  EXPECT_EQ(d->filesDone.load(), 4) << "counted over both versions";
  EXPECT_EQ(ReadFile("c.txt"), "c") << "files of the failed version that arrived stay";
  EXPECT_EQ(ReadFile("d.txt"), "old d") << "never the error page";
  EXPECT_FALSE(FileExists("d.txt.part"));
  EXPECT_FALSE(FileExists("e.txt"));
}

// Wine's urlmon reports a body that the server cut short as a success; the
// size it announced tells otherwise.
TEST_F(WorkerTest, BodyCutShortIsAFailureEvenWhenUrlmonCallsItSuccess) {
  server_.Serve(Url("patch.ini"), "patch = 1,0,0,7\nfile = map, dat, 0, @root\n");
  server_.Cut(Url("1.0.0.7/map.ini"), std::string(4000, 'm'), 9000);
  WriteFile("map.dat", "old map");
  auto d = Run(V(1, 0, 0, 6));
  Lines lines = LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 1], kInvalid);
  EXPECT_EQ(ReadFile("map.dat"), "old map") << "never the part that came";
  EXPECT_FALSE(FileExists("map.dat.part"));
  EXPECT_EQ(ReadFile("System.ini"), "Version = 1.0.0.6");
}

// A downloaded file that cannot be made durable (it cannot be opened for
// its flush) does not take the installed file's place.
class UnflushableParts : public platform::KernelApiWrapper {
 public:
  HANDLE CreateFile(const char* path, DWORD access, DWORD disposition) override {
    std::string name = path;
    if (disposition == OPEN_EXISTING && name.size() > 5 && name.substr(name.size() - 5) == ".part") {
      return INVALID_HANDLE_VALUE;
    }
    return KernelApiWrapper::CreateFile(path, access, disposition);
  }
};

TEST_F(WorkerTest, FileThatCannotBeFlushedIsNotInstalled) {
  server_.Serve(Url("patch.ini"), "patch = 1,0,0,7\nfile = map, dat, 0, @root\n");
  server_.Serve(Url("1.0.0.7/map.ini"), "new map");
  WriteFile("map.dat", "old map");
  UnflushableParts kernel;
  platform::ScopedKernelApi scoped(&kernel);
  auto d = Run(V(1, 0, 0, 6));
  EXPECT_EQ(LogLines().back(), kInvalid);
  EXPECT_EQ(ReadFile("map.dat"), "old map");
  EXPECT_FALSE(FileExists("map.dat.part"));
  EXPECT_EQ(ReadFile("System.ini"), "Version = 1.0.0.6");
}

TEST_F(WorkerTest, VersionsApplyInManifestOrderAndEmptyOnesAreSaved) {
  server_.Serve(Url("patch.ini"), "patch = 1,0,0,9\npatch = 1,0,0,8\n");
  auto d = Run(V(1, 0, 0, 6));
  EXPECT_EQ(LogLines(), (Lines{Url("patch.ini"), "temp\\patch.ini", kOk,
                               "New System Config File Size = 17",
                               "New System Config File Size = 17",
                               "Updates completed successfully."}));
  EXPECT_EQ(ReadFile("System.ini"), "Version = 1.0.0.8") << "the last one listed";
  EXPECT_EQ(d->upToDate.load(), 1);
}

TEST_F(WorkerTest, SameNameTwiceIsFetchedFromOneAddress) {
  server_.Serve(Url("patch.ini"),
                "patch = 1,0,0,7\nfile = data, txt, 0, @root\nfile = data, bin, 0, sub\\\n");
  server_.Serve(Url("1.0.0.7/data.ini"), "same");
  Run(V(1, 0, 0, 6));
  EXPECT_EQ(ReadFile("data.txt"), "same");
  EXPECT_EQ(ReadFile("sub/data.bin"), "same");
  std::vector<std::string> requested = server_.Requested();
  ASSERT_EQ(requested.size(), 3u);
  EXPECT_EQ(requested[1], requested[2]);
}

TEST_F(WorkerTest, FolderWithoutFinalBackslashJoinsTheName) {
  server_.Serve(Url("patch.ini"), "patch = 1,0,0,7\nfile = readme, txt, 0, docs\n");
  server_.Serve(Url("1.0.0.7/readme.ini"), "r");
  Run(V(1, 0, 0, 6));
  EXPECT_EQ(ReadFile("docsreadme.txt"), "r");
  EXPECT_TRUE(FileExists("docs")) << "the folder is still made";
}

TEST_F(WorkerTest, NamesOutsideThePlainSetArePercentEncodedInTheirUrl) {
  server_.Serve(Url("patch.ini"),
                "patch = 1,0,0,7\nfile = caf\xC3\xA9%#?, txt, 0, @root\nfile = A-z_0.9, txt, 0, @root\n");
  server_.Serve(Url("1.0.0.7/caf%C3%A9%25%23%3F.ini"), "e");
  server_.Serve(Url("1.0.0.7/A-z_0.9.ini"), "p");
  auto d = Run(V(1, 0, 0, 6));
  EXPECT_EQ(ReadFile("caf\xC3\xA9%#?.txt"), "e");
  EXPECT_EQ(ReadFile("A-z_0.9.txt"), "p");
  EXPECT_EQ(d->upToDate.load(), 1);
}

// Reports its progress slowly, so that the launcher can close mid-transfer.
class SlowServer : public FakeUrlmon {
 public:
  HRESULT DownloadToFile(const char* url, const char* path, IBindStatusCallback* callback) override {
    if (std::string(url).find("patch.ini") != std::string::npos) {
      return FakeUrlmon::DownloadToFile(url, path, callback);
    }
    FILE* file = fopen(platform::NativePath(path).c_str(), "wb");
    for (ULONG done = 0; done < 1000; ++done) {
      fputc('x', file);
      if (FAILED(callback->OnProgress(done, 1000, BINDSTATUS_DOWNLOADINGDATA, nullptr))) {
        fclose(file);
        remove(platform::NativePath(path).c_str());
        return E_ABORT;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    fclose(file);
    return S_OK;
  }
};

TEST_F(WorkerTest, ClosingMidTransferAbortsItPromptly) {
  SlowServer slow;
  platform::ScopedUrlmonApi scoped(&slow);
  slow.Serve(Url("patch.ini"), "patch = 1,0,0,7\nfile = big, pak, 0, @root\n");
  WriteFile("big.pak", "the old big file");
  SetInstalledVersion(V(1, 0, 0, 6));
  auto download = std::make_unique<CDownloadFile>();
  while (download->filesDone.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LT(download->callback.percent.load(), 100);

  auto start = std::chrono::steady_clock::now();
  download.reset();
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::milliseconds(1000));

  Lines lines = LogLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "Unknown download error.");
  EXPECT_EQ(lines[lines.size() - 2], "Unknown download error.");
  EXPECT_EQ(lines[lines.size() - 1], "(TESTCODE) Deleting DownloadFile Dump.");
  EXPECT_EQ(ReadFile("big.pak"), "the old big file");
  EXPECT_FALSE(FileExists("big.pak.part"));
  EXPECT_EQ(ReadFile("System.ini"), "Version = 1.0.0.6");
}

TEST(BaseUrl, IsTheOneTheBuildWasConfiguredWith) {
  EXPECT_STREQ(kUpdateBaseUrl, CONFIGURED_BASE_URL);
}

struct ProgressCase {
  ULONG progress, progressMax;
  int32_t percent;
};

TEST(CCallbackTest, OnProgressTruncatesUnsignedCounts) {
  const ProgressCase cases[] = {
      {50, 200, 25},   {2, 3, 66},     {0, 0, 0},       {5, 0, 0},
      {300, 200, 150}, {3000000000u, 4000000000u, 75}, {200, 200, 100},
      {4294967295u, 1, 2147483647},
  };
  CCallback callback(nullptr);
  for (const ProgressCase& c : cases) {
    EXPECT_EQ(callback.OnProgress(c.progress, c.progressMax, 0, nullptr), S_OK);
    EXPECT_EQ(callback.percent.load(), c.percent) << c.progress << "/" << c.progressMax;
  }
}

// Whether a transfer delivered what it announced, from what it reported.
TEST(CCallbackTest, ArrivedWholeOnlyWhenAllAnnouncedBytesCame) {
  struct Case {
    const char* name;
    std::vector<std::pair<ULONG, ULONG>> progress;  // (bytes, announced) reports
    HRESULT stop;
    bool whole;
  };
  const Case cases[] = {
      {"AllAnnouncedBytes", {{0, 9000}, {4000, 9000}, {9000, 9000}}, S_OK, true},
      {"CutShort", {{0, 9000}, {4000, 9000}}, S_OK, false},
      {"SizeNeverKnown", {{4000, 0}, {7000, 0}}, S_OK, true},
      {"NoReports", {}, S_OK, true},
      {"StopBindingFailed", {{9000, 9000}}, INET_E_DOWNLOAD_FAILURE, false},
      {"AnnouncedLateAndReached", {{0, 0}, {500, 1000}, {1000, 1000}}, S_OK, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CCallback callback(nullptr);
    callback.OnProgress(5, 5, 0, nullptr);  // the previous transfer's
    callback.BeginTransfer();
    for (const auto& report : c.progress) callback.OnProgress(report.first, report.second, 0, nullptr);
    callback.OnStopBinding(c.stop, nullptr);
    EXPECT_EQ(callback.ArrivedWhole(), c.whole);
  }
}

TEST(CCallbackTest, OffersOnlyHttpNegotiateAndCountsNoReferences) {
  std::atomic<bool> stopping{false};
  CCallback callback(&stopping);
  void* object = &callback;
  EXPECT_EQ(callback.QueryInterface(IID_IBindStatusCallback, &object), E_NOTIMPL);
  EXPECT_EQ(object, nullptr);
  ASSERT_EQ(callback.QueryInterface(IID_IHttpNegotiate, &object), S_OK);
  static_cast<IHttpNegotiate*>(object)->OnResponse(404, nullptr, nullptr, nullptr);
  EXPECT_EQ(callback.ResponseStatus(), 404u);
  callback.BeginTransfer();
  EXPECT_EQ(callback.ResponseStatus(), 0u);
  EXPECT_EQ(callback.AddRef(), 0u);
  EXPECT_EQ(callback.Release(), 0u);
  EXPECT_EQ(callback.OnStartBinding(0, nullptr), E_NOTIMPL);
  EXPECT_EQ(callback.OnStopBinding(S_OK, nullptr), E_NOTIMPL);
  stopping = true;
  EXPECT_EQ(callback.OnProgress(1, 2, 0, nullptr), E_ABORT);
}

TEST(LocalPathTest, SpaceFlagAndFolder) {
  FileEntry entry = {};
  strcpy(entry.name, "readme_first_x");
  strcpy(entry.extension, "txt");
  strcpy(entry.directory, "docs\\");
  char path[1024];
  entry.spaceFlag = 1;
  LocalPathOf(entry, path, sizeof path);
  EXPECT_STREQ(path, "docs\\readme first x.txt");
  entry.spaceFlag = 0;
  LocalPathOf(entry, path, sizeof path);
  EXPECT_STREQ(path, "docs\\readme_first_x.txt");
}

TEST(PublishedNameTest, ReaderNeverSeesHalfOfTwoNames) {
  PublishedName name;
  std::atomic<bool> done{false};
  std::string a(200, 'a'), b(120, 'b');
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) name.Set(i % 2 ? a.c_str() : b.c_str());
    done = true;
  });
  int reads = 0;
  while (!done.load()) {
    char out[PublishedName::kSize];
    name.Get(out);
    std::string seen = out;
    ASSERT_TRUE(seen.empty() || seen == a || seen == b) << seen;
    ++reads;
  }
  writer.join();
  EXPECT_GT(reads, 0);
}

}  // namespace
