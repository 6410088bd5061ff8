// The update engine over real HTTP: the Linux layer's URLDownloadToFileA on
// libcurl against nginx, and against a server that fails on purpose.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "config/version.h"
#include "support/fake_urlmon.h"
#include "support/misbehaving_server.h"
#include "support/nginx_server.h"
#include "support/scratch_dir.h"
#include "support/versions.h"
#include "update/base_url.h"
#include "update/download_file.h"

namespace {

using Lines = std::vector<std::string>;


const char kOk[] = "The download completed successfully.";
const char kInvalid[] = "The specified resource or callback interface was invalid.";

void Put(const std::string& path, const std::string& bytes) {
  std::string folder = path.substr(0, path.rfind('/'));
  for (size_t at = 0; at != std::string::npos;) {
    at = folder.find('/', at + 1);
    mkdir(folder.substr(0, at).c_str(), 0755);
  }
  WriteFile(path, bytes);
  chmod(path.c_str(), 0644);
}

// An installation folder as the working directory and an update tree served
// by nginx, reached through the launcher's own base URL.
class HttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mkdir("install", 0755);
    Put(dir_.path() + "/server/updates/.keep", "");
    server_ = std::make_unique<NginxServer>(dir_.path() + "/server");
    ASSERT_TRUE(server_->Start()) << "nginx did not start";
    redirect_ = std::make_unique<RedirectingUrlmon>(kUpdateBaseUrl, server_->BaseUrl() + "/updates");
    scoped_ = std::make_unique<platform::ScopedUrlmonApi>(redirect_.get());
    ASSERT_EQ(chdir("install"), 0);
    WriteFile("System.ini", "Version = 1.0.0.6");
  }
  void TearDown() override {
    scoped_.reset();
    if (chdir(dir_.path().c_str()) != 0) return;
  }

  void Publish(const std::string& path, const std::string& bytes) {
    Put(dir_.path() + "/server/updates/" + path, bytes);
  }

  std::unique_ptr<CDownloadFile> Run(const Version& installed) { return RunWorker(installed); }

  ScratchDir dir_;
  std::unique_ptr<NginxServer> server_;
  std::unique_ptr<RedirectingUrlmon> redirect_;
  std::unique_ptr<platform::ScopedUrlmonApi> scoped_;
};

TEST_F(HttpTest, ExampleUpdateFromNginx) {
  Publish("patch.ini",
          "patch = 1, 0, 0, 6\r\nfile = game_data, pak, 0, @root\r\n"
          "patch = 1, 0, 0, 7\r\nfile = readme_first, txt, 1, docs\\\r\n"
          "file = map_01, dat, 0, maps\\old\\\r\n");
  std::string map(300000, '\0');
  for (size_t i = 0; i < map.size(); ++i) map[i] = static_cast<char>(i * 7);
  Publish("1.0.0.7/readme_first.ini", "read me\r\n");
  Publish("1.0.0.7/map_01.ini", map);
  auto d = Run(V(1, 0, 0, 6));

  EXPECT_EQ(LogLines(), (Lines{Url("patch.ini"), "temp\\patch.ini", kOk,
                               Url("1.0.0.7/readme_first.ini"), "docs\\readme first.txt", "docs",
                               kOk, Url("1.0.0.7/map_01.ini"), "maps\\old\\map_01.dat", "maps",
                               "maps\\old", kOk, "New System Config File Size = 17",
                               "Updates completed successfully."}));
  EXPECT_EQ(ReadFile("docs/readme first.txt"), "read me\r\n") << "bytes as served";
  EXPECT_EQ(ReadFile("maps/old/map_01.dat"), map);
  EXPECT_EQ(ReadFile("System.ini"), "Version = 1.0.0.7");
  EXPECT_EQ(d->callback.percent.load(), 100);
  EXPECT_FALSE(FileExists("temp/patch.ini"));
}

TEST_F(HttpTest, ManyFilesShareOneConnection) {
  std::string manifest = "patch = 1,0,0,7\n";
  for (int i = 0; i < 40; ++i) {
    manifest += "file = f" + std::to_string(i) + ", bin, 0, many\\\n";
    Publish("1.0.0.7/f" + std::to_string(i) + ".ini", std::string(4096, static_cast<char>('a' + i % 26)));
  }
  Publish("patch.ini", manifest);
  auto d = Run(V(1, 0, 0, 6));
  EXPECT_EQ(d->upToDate.load(), 1);
  EXPECT_EQ(ReadFile("many/f39.bin"), std::string(4096, 'n'));
  EXPECT_EQ(server_->ConnectionCount(), 1) << "41 transfers over one kept-alive connection";
}

TEST_F(HttpTest, MissingFileOnTheSecondVersionKeepsTheFirst) {
  Publish("patch.ini",
          "patch = 1,0,0,7\nfile = a, txt, 0, @root\nfile = b, txt, 0, @root\n"
          "patch = 1,0,0,8\nfile = c, txt, 0, @root\nfile = d, txt, 0, @root\n");
  Publish("1.0.0.7/a.ini", "a7");
  Publish("1.0.0.7/b.ini", "b7");
  Publish("1.0.0.8/c.ini", "c8");
  WriteFile("d.txt", "d from before");
  auto d = Run(V(1, 0, 0, 6));
  Lines lines = LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], kInvalid);
  EXPECT_EQ(lines[lines.size() - 1], kInvalid);
  EXPECT_EQ(ReadFile("System.ini"), "Version = 1.0.0.7");
  EXPECT_EQ(ReadFile("c.txt"), "c8");
  EXPECT_EQ(ReadFile("d.txt"), "d from before") << "never nginx's 404 page";
  EXPECT_EQ(d->updating.load(), 1);
  EXPECT_EQ(d->upToDate.load(), 0);
}

TEST_F(HttpTest, MissingManifestIsAFailureNotUpToDate) {
  auto d = Run(V(1, 0, 0, 6));
  EXPECT_EQ(LogLines(), (Lines{Url("patch.ini"), "temp\\patch.ini", kInvalid}));
  EXPECT_EQ(d->upToDate.load(), 0);
  EXPECT_FALSE(FileExists("temp/patch.ini"));
}

// Records what a transfer reported.
class RecordingCallback : public CCallback {
 public:
  RecordingCallback() : CCallback(nullptr) {}
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG status,
                                       LPCWSTR text) override {
    lastProgress = progress;
    lastMax = progressMax;
    ++calls;
    if (abortAfter > 0 && progress >= abortAfter) return E_ABORT;
    return CCallback::OnProgress(progress, progressMax, status, text);
  }
  ULONG lastProgress = 0, lastMax = 0, abortAfter = 0;
  int calls = 0;
};

struct TransferCase {
  const char* name;
  const char* path;    // on the misbehaving server, or "nginx:..." or "refused"
  const char* local;
  HRESULT result;
  DWORD status;        // what IHttpNegotiate heard; 0: nothing
};

class TransferTest : public HttpTest, public ::testing::WithParamInterface<TransferCase> {};

TEST_P(TransferTest, ResultAndNothingPartialLeft) {
  const TransferCase& c = GetParam();
  MisbehavingServer faulty;
  ASSERT_TRUE(faulty.Start());
  faulty.Serve("/good", std::string(50000, 'g'));
  Publish("good.bin", std::string(70000, 'n'));
  platform::UrlmonApi::SetStallLimitSeconds(1);

  std::string path = c.path;
  std::string url = path.rfind("nginx:", 0) == 0 ? server_->BaseUrl() + "/updates/" + path.substr(6)
                    : path == "refused" ? "http://127.0.0.1:" + std::to_string(FreePort()) + "/x"
                                        : faulty.BaseUrl() + path;
  RecordingCallback callback;
  HRESULT result = URLDownloadToFileA(nullptr, url.c_str(), c.local, 0, &callback);
  platform::UrlmonApi::SetStallLimitSeconds(60);

  EXPECT_EQ(result, c.result) << std::hex << result;
  EXPECT_EQ(callback.ResponseStatus(), c.status);
  if (c.result == S_OK) {
    EXPECT_TRUE(FileExists(platform::NativePath(c.local)));
    EXPECT_EQ(callback.lastProgress, callback.lastMax) << "the last report is complete";
    EXPECT_EQ(callback.percent.load(), 100);
  } else {
    EXPECT_FALSE(FileExists(platform::NativePath(c.local))) << "no partial file";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, TransferTest,
    ::testing::Values(
        TransferCase{"Complete", "/good", "out.bin", S_OK, 200},
        TransferCase{"CompleteFromNginx", "nginx:good.bin", "out.bin", S_OK, 200},
        TransferCase{"NotFound", "nginx:none.bin", "out.bin", INET_E_DOWNLOAD_FAILURE, 404},
        TransferCase{"ServerError", "/status/500", "out.bin", INET_E_DOWNLOAD_FAILURE, 500},
        TransferCase{"Forbidden", "/status/403", "out.bin", INET_E_DOWNLOAD_FAILURE, 403},
        TransferCase{"ConnectionRefused", "refused", "out.bin", INET_E_DOWNLOAD_FAILURE, 0},
        TransferCase{"DroppedMidBody", "/drop/x", "out.bin", INET_E_DOWNLOAD_FAILURE, 200},
        TransferCase{"Stalled", "/stall/x", "out.bin", INET_E_DOWNLOAD_FAILURE, 200},
        TransferCase{"FolderMissing", "/good", "nowhere\\out.bin", INET_E_DOWNLOAD_FAILURE, 0}),
    [](const ::testing::TestParamInfo<TransferCase>& info) { return info.param.name; });

TEST_F(HttpTest, CallbackFailureAbortsTheTransfer) {
  MisbehavingServer faulty;
  ASSERT_TRUE(faulty.Start());
  RecordingCallback callback;
  callback.abortAfter = 2048;
  std::string url = faulty.BaseUrl() + "/slow/x";
  EXPECT_EQ(URLDownloadToFileA(nullptr, url.c_str(), "slow.bin", 0, &callback), E_ABORT);
  EXPECT_FALSE(FileExists("slow.bin"));
}

TEST_F(HttpTest, ClosingDuringASlowTransferTakesWellUnderTwoSeconds) {
  MisbehavingServer faulty;
  ASSERT_TRUE(faulty.Start());
  faulty.Serve("/updates/patch.ini", "patch = 1,0,0,7\nfile = big, pak, 0, @root\n");
  RedirectingUrlmon redirect;
  redirect.Add(Url("1.0.0.7/"), faulty.BaseUrl() + "/slow/");
  redirect.Add(kUpdateBaseUrl, faulty.BaseUrl() + "/updates");
  platform::ScopedUrlmonApi scoped(&redirect);
  WriteFile("big.pak", "old");
  SetInstalledVersion(V(1, 0, 0, 6));
  auto download = std::make_unique<CDownloadFile>();
  for (int i = 0; i < 500 && download->callback.percent.load() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_GT(download->callback.percent.load(), 0) << "the transfer is under way";
  auto start = std::chrono::steady_clock::now();
  download.reset();
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::milliseconds(1000));
  EXPECT_EQ(ReadFile("big.pak"), "old");
  EXPECT_FALSE(FileExists("big.pak.part"));
  EXPECT_EQ(LogLines().back(), "(TESTCODE) Deleting DownloadFile Dump.");
}

}  // namespace
