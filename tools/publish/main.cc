// orvanel-publish: the operator's command line for the update server.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "publish/publisher.h"

namespace {

const char kUsage[] =
    "usage: orvanel-publish add SERVER_DIR VERSION BUILD_DIR [--since PREVIOUS_BUILD_DIR]\n"
    "       orvanel-publish check SERVER_DIR\n"
    "\n"
    "SERVER_DIR is the folder the web server serves at the launcher's update base URL.\n"
    "\n"
    "add    copies every file of BUILD_DIR (with --since, only those that are new or\n"
    "       differ from PREVIOUS_BUILD_DIR) to SERVER_DIR/VERSION/NAME.ini, then appends\n"
    "       the version to SERVER_DIR/patch.ini, which it replaces in one step. VERSION\n"
    "       is four numbers such as 1.0.0.7, newer than the last one published. A file\n"
    "       the launcher could not rebuild is refused, and then nothing is written.\n"
    "check  reads SERVER_DIR/patch.ini with the launcher's parser, as launchers at\n"
    "       every published version would, and looks for every file it names.\n"
    "\n"
    "Exit status: 0 done, 1 refused or problems found, 2 wrong arguments.\n";

int Usage(const char* problem) {
  std::cerr << "orvanel-publish: " << problem << "\n" << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
    std::cout << kUsage;
    return 0;
  }
  if (argc < 2) return Usage("no command");
  const std::string command = argv[1];

  if (command == "add") {
    AddRequest request;
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i) {
      std::string argument = argv[i];
      if (argument == "--since") {
        if (i + 1 >= argc) return Usage("--since needs PREVIOUS_BUILD_DIR");
        request.sinceDir = argv[++i];
      } else if (argument.compare(0, 2, "--") == 0) {
        return Usage(("unknown option " + argument).c_str());
      } else {
        positional.push_back(argument);
      }
    }
    if (positional.size() != 3) return Usage("add needs SERVER_DIR VERSION BUILD_DIR");
    request.serverDir = positional[0];
    request.version = positional[1];
    request.buildDir = positional[2];
    std::string problem = AddVersion(request, std::cout);
    if (!problem.empty()) {
      std::cerr << "orvanel-publish: " << problem << "\n";
      return 1;
    }
    return 0;
  }

  if (command == "check") {
    if (argc != 3) return Usage("check needs SERVER_DIR");
    return CheckServer(argv[2], std::cout) == 0 ? 0 : 1;
  }
  return Usage(("unknown command " + command).c_str());
}
