// What orvanel-publish writes is what the launcher installs: two versions
// published from build folders, served by nginx, installed by the update
// worker, compared byte for byte with the newest build.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "support/nginx_server.h"
#include "support/scratch_dir.h"
#include "support/versions.h"
#include "update/base_url.h"

namespace fs = std::filesystem;

namespace {

void Make(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  WriteFile(path, bytes);
}

std::string Pattern(size_t size, int seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed) >> 3);
  return bytes;
}

// Every file under a folder by its relative path, with its bytes. The
// launcher's own files are not part of the game.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    std::string relative = item.path().lexically_relative(root).generic_string();
    if (!item.is_regular_file() || relative == "System.ini" || relative == "Debug.txt") continue;
    tree[relative] = ReadFile(item.path());
  }
  return tree;
}

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

ToolRun Publish(const std::string& arguments) {
  std::string command = std::string(PUBLISH_TOOL) + " " + arguments + " >tool.out 2>tool.err";
  int status = system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile("tool.out"), ReadFile("tool.err")};
}

class RoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path root = dir_.path();
    // The first build: nested folders, names with spaces, a large file.
    Make(root / "build1/game.pak", Pattern(3 << 20, 1));
    Make(root / "build1/docs/read me first.txt", "Welcome.\r\n");
    Make(root / "build1/maps/old/map_01.dat", Pattern(70000, 2));
    Make(root / "build1/maps/new/deep/tile 7.bin", Pattern(513, 3));
    Make(root / "build1/unchanged.cfg", "volume = 7\n");
    // The second: two files changed, one added, the rest as they were.
    fs::copy(root / "build1", root / "build2", fs::copy_options::recursive);
    Make(root / "build2/game.pak", Pattern(3 << 20, 9));
    Make(root / "build2/docs/read me first.txt", "Welcome back.\r\n");
    Make(root / "build2/sounds/boom.wav", Pattern(4096, 4));
    fs::create_directories(root / "server/updates");
  }

  ScratchDir dir_;
};

TEST_F(RoundTripTest, TheLauncherInstallsTheNewestBuild) {
  ToolRun first = Publish("add server/updates 1.0.0.1 build1");
  ASSERT_EQ(first.status, 0) << first.err;
  ToolRun second = Publish("add server/updates 1.0.0.2 build2 --since build1");
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_NE(second.out.find("publishing 1.0.0.2: 3 files"), std::string::npos) << second.out;
  EXPECT_NE(second.out.find("(3 unchanged files left out)"), std::string::npos) << second.out;
  EXPECT_FALSE(FileExists("server/updates/1.0.0.2/unchanged.ini")) << "--since leaves it out";
  EXPECT_FALSE(FileExists("server/updates/1.0.0.2/map_01.ini"));
  EXPECT_TRUE(FileExists("server/updates/1.0.0.2/boom.ini"));
  ToolRun check = Publish("check server/updates");
  EXPECT_EQ(check.status, 0) << check.out;
  EXPECT_NE(check.out.find("patch.ini: 2 versions (1.0.0.1 to 1.0.0.2), 8 files"),
            std::string::npos) << check.out;

  NginxServer server(dir_.path() + "/server");
  ASSERT_TRUE(server.Start()) << "nginx did not start";
  RedirectingUrlmon redirect(kUpdateBaseUrl, server.BaseUrl() + "/updates");
  platform::ScopedUrlmonApi scoped(&redirect);

  // A new installation, and one that has the first build.
  struct Install {
    const char* folder;
    Version installed;
    int filesFetched;
  };
  fs::create_directories("fresh");
  fs::copy("build1", "at-first", fs::copy_options::recursive);
  for (const Install& install : {Install{"fresh", V(1, 0, 0, 0), 8}, Install{"at-first", V(1, 0, 0, 1), 3}}) {
    SCOPED_TRACE(install.folder);
    const std::string folder = dir_.path() + "/" + install.folder;
    ASSERT_EQ(chdir(folder.c_str()), 0);
    auto download = RunWorker(install.installed);
    EXPECT_EQ(download->upToDate.load(), 1);
    EXPECT_EQ(download->filesTotal.load(), install.filesFetched);
    EXPECT_EQ(ReadFile("System.ini"), "Version = 1.0.0.2");
    EXPECT_EQ(Tree(folder), Tree(dir_.path() + "/build2"));
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  }
}

TEST_F(RoundTripTest, CommandLine) {
  EXPECT_EQ(Publish("--help").status, 0);
  EXPECT_NE(Publish("--help").out.find("usage: orvanel-publish add SERVER_DIR"), std::string::npos);
  ToolRun wrong = Publish("add server/updates 1.0.0.1");
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.err.find("add needs SERVER_DIR VERSION BUILD_DIR"), std::string::npos);
  EXPECT_EQ(Publish("publish server/updates").status, 2);
  ToolRun refused = Publish("add server/updates 1.0.0.x build1");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("orvanel-publish: VERSION '1.0.0.x' is not four numbers"),
            std::string::npos) << refused.err;
  ToolRun noManifest = Publish("check server/updates");
  EXPECT_EQ(noManifest.status, 1);
  EXPECT_NE(noManifest.out.find("problem: server/updates/patch.ini: cannot be read"),
            std::string::npos) << noManifest.out;
}

}  // namespace
