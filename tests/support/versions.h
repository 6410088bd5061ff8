// Small helpers of the update tests: a Version from four numbers, a URL
// under the launcher's base URL, and one run of the worker.
#ifndef ORVANEL_TESTS_SUPPORT_VERSIONS_H_
#define ORVANEL_TESTS_SUPPORT_VERSIONS_H_

#include <memory>
#include <string>

#include "config/version.h"
#include "update/base_url.h"
#include "update/download_file.h"

inline Version V(int a, int b, int c, int d) {
  return Version{{static_cast<int16_t>(a), static_cast<int16_t>(b), static_cast<int16_t>(c),
                  static_cast<int16_t>(d)}};
}

inline std::string Url(const std::string& tail) {
  return std::string(kUpdateBaseUrl) + "/" + tail;
}

// Starts the update worker from an installed version and waits until it has
// ended; the object stays for a look at its fields. (On the heap: its tables
// take megabytes.)
inline std::unique_ptr<CDownloadFile> RunWorker(const Version& installed) {
  SetInstalledVersion(installed);
  auto download = std::make_unique<CDownloadFile>();
  download->WaitForWorker();
  return download;
}

#endif  // ORVANEL_TESTS_SUPPORT_VERSIONS_H_
