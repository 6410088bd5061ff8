// The fault matrix: each fault against the whole update engine, with nginx
// serving three versions and the fault on the second file of the second
// version. After each: the log says what failed, twice; System.ini holds the
// last complete version; no installed file is truncated or replaced by an
// error page, and no temporary is left. A rerun against a healthy server
// then completes the update.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "config/installed_version.h"
#include "support/fake_urlmon.h"
#include "support/misbehaving_server.h"
#include "support/nginx_server.h"
#include "support/scratch_dir.h"
#include "support/versions.h"
#include "update/base_url.h"

namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

const char kInvalid[] = "The specified resource or callback interface was invalid.";

const char kManifest[] =
    "patch = 1, 0, 0, 1\r\n"
    "file = a, dat, 0, data\\\r\n"
    "file = b, dat, 0, data\\\r\n"
    "patch = 1, 0, 0, 2\r\n"
    "file = c, dat, 0, data\\\r\n"
    "file = d, dat, 0, data\\\r\n"
    "patch = 1, 0, 0, 3\r\n"
    "file = e, dat, 0, @root\r\n";

std::string Bytes(size_t size, char seed) {
  std::string bytes(size, seed);
  for (size_t i = 0; i < size; i += 97) bytes[i] = static_cast<char>(i >> 5);
  return bytes;
}

// The published files by their place in the installation.
struct Published {
  const char* server;
  const char* local;
  std::string bytes;
};

const std::vector<Published>& Files() {
  static const std::vector<Published> files = {
      {"1.0.0.1/a.ini", "data/a.dat", Bytes(3000, 'a')},
      {"1.0.0.1/b.ini", "data/b.dat", Bytes(5000, 'b')},
      {"1.0.0.2/c.ini", "data/c.dat", Bytes(7000, 'c')},
      {"1.0.0.2/d.ini", "data/d.dat", Bytes(1 << 20, 'd')},
      {"1.0.0.3/e.ini", "e.dat", Bytes(2000, 'e')},
  };
  return files;
}

const char kOldD[] = "d as installed before the update";

enum class Fault {
  kServerDown,    // nothing listens where the updates are
  kRefused,       // nothing listens where d is
  kNotFound,      // nginx has no d
  kServerError,   // 500 for d
  kReset,         // d's connection closes mid-body
  kStalled,       // d's server stops sending
  kDiskFull,      // the installation's file system has no room for d
  kReadOnly,      // the installation's file system takes no writes
};

struct FaultCase {
  const char* name;
  Fault fault;
  const char* installed;  // System.ini after the faulty run
  Lines logTail;          // the last lines of the faulty run's log
};

// The address of the file that fails.
std::string D() { return Url("1.0.0.2/d.ini"); }

class FaultTest : public ::testing::TestWithParam<FaultCase> {
 protected:
  void SetUp() override {
    for (const Published& file : Files()) Put("server/updates/" + std::string(file.server), file.bytes);
    Put("server/updates/patch.ini", kManifest);
    server_ = std::make_unique<NginxServer>(dir_.path() + "/server");
    ASSERT_TRUE(server_->Start()) << "nginx did not start";
    ASSERT_TRUE(faulty_.Start());
    fs::create_directories("install");
  }
  void TearDown() override {
    platform::UrlmonApi::SetStallLimitSeconds(60);
    if (chdir(dir_.path().c_str()) != 0) return;
    if (mounted_) umount("install");
  }

  static void Put(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    WriteFile(path, bytes);
  }

  // A small file system of its own for the installation (needs root).
  bool MountInstallation(const char* size) {
    std::string options = std::string("size=") + size;
    mounted_ = mount("tmpfs", "install", "tmpfs", 0, options.c_str()) == 0;
    return mounted_;
  }

  void LayOutInstallation() {
    WriteFile("install/System.ini", "Version = 1.0.0.0");
    Put("install/data/d.dat", kOldD);
  }

  // Every installed file holds one published version of itself (or what
  // was there before), and no temporary is left.
  void ExpectNothingTruncated() {
    for (const auto& item : fs::recursive_directory_iterator("install")) {
      std::string path = item.path().string();
      EXPECT_EQ(path.find(".part"), std::string::npos) << path;
      EXPECT_EQ(path.find(".tmp"), std::string::npos) << path;
    }
    for (const Published& file : Files()) {
      std::string path = "install/" + std::string(file.local);
      if (!FileExists(path)) continue;
      std::string bytes = ReadFile(path);
      bool known = bytes == file.bytes || (std::string(file.local) == "data/d.dat" && bytes == kOldD);
      EXPECT_TRUE(known) << path << " holds " << bytes.size() << " unknown bytes";
    }
  }

  // One start of the update in the installation: System.ini read, the
  // worker run to its end. The log is left in log_.
  std::unique_ptr<CDownloadFile> RunIn(RedirectingUrlmon* urlmon) {
    platform::ScopedUrlmonApi scoped(urlmon);
    EXPECT_EQ(chdir("install"), 0);
    SetInstalledVersion(V(0, 0, 0, 0));
    LoadInstalledVersion();
    auto download = std::make_unique<CDownloadFile>();
    download->WaitForWorker();
    log_ = LogLines();
    remove("Debug.txt");
    EXPECT_EQ(chdir(dir_.path().c_str()), 0);
    return download;
  }

  ScratchDir dir_;
  std::unique_ptr<NginxServer> server_;
  MisbehavingServer faulty_;
  bool mounted_ = false;
  Lines log_;
};

TEST_P(FaultTest, KeepsTheLastCompleteVersionAndRecovers) {
  const FaultCase& c = GetParam();
  const std::string updates = server_->BaseUrl() + "/updates";
  const std::string nowhere = "http://127.0.0.1:" + std::to_string(FreePort());
  RedirectingUrlmon faulty;
  switch (c.fault) {
    case Fault::kServerDown: faulty.Add(kUpdateBaseUrl, nowhere + "/updates"); break;
    case Fault::kRefused: faulty.Add(D(), nowhere + "/d.ini"); break;
    case Fault::kNotFound: faulty.Add(D(), updates + "/1.0.0.2/none.ini"); break;
    case Fault::kServerError: faulty.Add(D(), faulty_.BaseUrl() + "/status/500"); break;
    case Fault::kReset: faulty.Add(D(), faulty_.BaseUrl() + "/drop/d"); break;
    case Fault::kStalled:
      platform::UrlmonApi::SetStallLimitSeconds(1);
      faulty.Add(D(), faulty_.BaseUrl() + "/stall/d");
      break;
    case Fault::kDiskFull:
      // Room for everything but d's megabyte.
      if (!MountInstallation("256k")) GTEST_SKIP() << "cannot mount a file system (not root?)";
      break;
    case Fault::kReadOnly:
      if (!MountInstallation("256k")) GTEST_SKIP() << "cannot mount a file system (not root?)";
      break;
  }
  faulty.Add(kUpdateBaseUrl, updates);
  LayOutInstallation();
  if (c.fault == Fault::kReadOnly) {
    ASSERT_EQ(mount("tmpfs", "install", "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
  }

  auto download = RunIn(&faulty);
  EXPECT_EQ(download->upToDate.load(), 0);
  EXPECT_EQ(ReadFile("install/System.ini"), c.installed);
  EXPECT_EQ(ReadFile("install/data/d.dat"), kOldD) << "the installed d stays as it was";
  EXPECT_FALSE(FileExists("install/e.dat"));
  ExpectNothingTruncated();
  const Lines& log = log_;
  if (c.fault == Fault::kReadOnly) {
    EXPECT_TRUE(log.empty()) << "nothing can be written there, the log neither";
  } else {
    ASSERT_GE(log.size(), c.logTail.size());
    EXPECT_EQ(Lines(log.end() - static_cast<long>(c.logTail.size()), log.end()), c.logTail);
  }
  download.reset();

  // The fault is gone: the next start completes the update.
  if (mounted_) {
    ASSERT_EQ(mount("tmpfs", "install", "tmpfs", MS_REMOUNT, "size=4m"), 0);
  }
  RedirectingUrlmon healthy(kUpdateBaseUrl, updates);
  download = RunIn(&healthy);
  EXPECT_EQ(download->upToDate.load(), 1);
  EXPECT_EQ(ReadFile("install/System.ini"), "Version = 1.0.0.3");
  for (const Published& file : Files()) {
    EXPECT_EQ(ReadFile("install/" + std::string(file.local)), file.bytes) << file.local;
  }
  ExpectNothingTruncated();
}

// After a fault on d: its URL, its path, its folder as made, the failure,
// and the failure again as the worker's last word.
Lines FailedOnD() {
  return {D(), "data\\d.dat", "data", kInvalid, kInvalid};
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, FaultTest,
    ::testing::Values(
        FaultCase{"ServerDown", Fault::kServerDown, "Version = 1.0.0.0",
                  {Url("patch.ini"), "temp\\patch.ini", kInvalid}},
        FaultCase{"ConnectionRefused", Fault::kRefused, "Version = 1.0.0.1", FailedOnD()},
        FaultCase{"NotFound", Fault::kNotFound, "Version = 1.0.0.1", FailedOnD()},
        FaultCase{"ServerError", Fault::kServerError, "Version = 1.0.0.1", FailedOnD()},
        FaultCase{"ResetMidBody", Fault::kReset, "Version = 1.0.0.1", FailedOnD()},
        FaultCase{"Stalled", Fault::kStalled, "Version = 1.0.0.1", FailedOnD()},
        FaultCase{"DiskFull", Fault::kDiskFull, "Version = 1.0.0.1", FailedOnD()},
        FaultCase{"ReadOnlyInstallation", Fault::kReadOnly, "Version = 1.0.0.0", {}}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

// The operator replaces a broken version between two starts: the second
// start takes the manifest as it is now, from the version it has.
TEST_F(FaultTest, ManifestThatChangesBetweenTwoRuns) {
  LayOutInstallation();
  const std::string updates = server_->BaseUrl() + "/updates";
  RedirectingUrlmon urlmon(kUpdateBaseUrl, updates);
  fs::remove("server/updates/1.0.0.2/d.ini");
  auto first = RunIn(&urlmon);
  EXPECT_EQ(ReadFile("install/System.ini"), "Version = 1.0.0.1");
  first.reset();

  // 1.0.0.2 now has other files, and a 1.0.0.4 follows.
  Put("server/updates/patch.ini",
      std::string(kManifest) +
          "patch = 1, 0, 0, 4\r\nfile = f, dat, 0, more\\\r\n");
  std::string manifest = ReadFile("server/updates/patch.ini");
  manifest.replace(manifest.find("file = d, dat, 0, data\\"), 23, "file = g, dat, 0, data\\");
  Put("server/updates/patch.ini", manifest);
  Put("server/updates/1.0.0.2/g.ini", "g");
  Put("server/updates/1.0.0.4/f.ini", "f");
  auto second = RunIn(&urlmon);
  EXPECT_EQ(second->upToDate.load(), 1);
  EXPECT_EQ(ReadFile("install/System.ini"), "Version = 1.0.0.4");
  EXPECT_EQ(ReadFile("install/data/g.dat"), "g");
  EXPECT_EQ(ReadFile("install/more/f.dat"), "f");
  EXPECT_EQ(ReadFile("install/data/d.dat"), kOldD) << "no longer part of the update";
  EXPECT_EQ(second->filesTotal.load(), 4) << "only 1.0.0.2 to 1.0.0.4 again";
  EXPECT_EQ(log_.back(), "Updates completed successfully.");
}

}  // namespace
