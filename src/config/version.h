// Version: four signed 16-bit numbers, most significant first, and the one
// process-wide installed version.
#ifndef ORVANEL_CONFIG_VERSION_H_
#define ORVANEL_CONFIG_VERSION_H_

#include <cstdint>

struct Version {
  int16_t numbers[4];  // major, minor, build, revision
};

// True when a is greater than b in lexicographic order, first number first,
// each compared as a signed number. Equal versions are not newer.
bool IsNewer(const Version& a, const Version& b);

// The installed version: 0.0.0.0 until LoadInstalledVersion fills it. The
// update worker advances it while the UI thread shows it, so it is read and
// written whole: a reader never sees numbers of two different versions.
Version InstalledVersion();
void SetInstalledVersion(const Version& version);

#endif  // ORVANEL_CONFIG_VERSION_H_
