// A fresh working directory for one test: the launcher reads and writes its
// files (System.ini, Debug.txt) relative to it.
#ifndef ORVANEL_TESTS_SUPPORT_SCRATCH_DIR_H_
#define ORVANEL_TESTS_SUPPORT_SCRATCH_DIR_H_

#include <string>

class ScratchDir {
 public:
  ScratchDir();   // creates the folder and makes it the working directory
  ~ScratchDir();  // goes back and removes it with everything inside

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};

// Whole-file helpers, binary.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

#endif  // ORVANEL_TESTS_SUPPORT_SCRATCH_DIR_H_
