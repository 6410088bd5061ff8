#include "config/version.h"

#include <atomic>

namespace {

// The four numbers packed into one word, so that one atomic load or store
// moves a whole version.
std::atomic<uint64_t> installedVersion{0};

uint64_t Pack(const Version& v) {
  uint64_t packed = 0;
  for (int i = 0; i < 4; ++i) {
    packed = (packed << 16) | static_cast<uint16_t>(v.numbers[i]);
  }
  return packed;
}

Version Unpack(uint64_t packed) {
  Version v;
  for (int i = 3; i >= 0; --i) {
    v.numbers[i] = static_cast<int16_t>(static_cast<uint16_t>(packed & 0xFFFF));
    packed >>= 16;
  }
  return v;
}

}  // namespace

bool IsNewer(const Version& a, const Version& b) {
  for (int i = 0; i < 4; ++i) {
    if (a.numbers[i] != b.numbers[i]) return a.numbers[i] > b.numbers[i];
  }
  return false;
}

Version InstalledVersion() { return Unpack(installedVersion.load(std::memory_order_acquire)); }

void SetInstalledVersion(const Version& version) {
  installedVersion.store(Pack(version), std::memory_order_release);
}
