#include "support/scratch_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

ScratchDir::ScratchDir() {
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) != nullptr) previous_ = cwd;
  char pattern[] = "/tmp/orvanel-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (made == nullptr) abort();
  path_ = made;
  if (chdir(path_.c_str()) != 0) abort();
}

ScratchDir::~ScratchDir() {
  if (chdir(previous_.c_str()) != 0) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool FileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}
