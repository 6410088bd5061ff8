// Small helpers of the update tests: a Version from four numbers, and a URL
// under the launcher's base URL.
#ifndef ORVANEL_TESTS_SUPPORT_VERSIONS_H_
#define ORVANEL_TESTS_SUPPORT_VERSIONS_H_

#include <string>

#include "config/version.h"
#include "update/base_url.h"

inline Version V(int a, int b, int c, int d) {
  return Version{{static_cast<int16_t>(a), static_cast<int16_t>(b), static_cast<int16_t>(c),
                  static_cast<int16_t>(d)}};
}

inline std::string Url(const std::string& tail) {
  return std::string(kUpdateBaseUrl) + "/" + tail;
}

#endif  // ORVANEL_TESTS_SUPPORT_VERSIONS_H_
