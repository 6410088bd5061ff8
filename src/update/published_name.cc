#include "update/published_name.h"

// The byte stores are releases and the byte loads acquires (plain moves on
// x86): a reader that sees a byte of a newer write is ordered after that
// write's odd sequence number, so its second look at the sequence sees the
// change and it reads again. No fence, which ThreadSanitizer could not follow.

PublishedName::PublishedName() : sequence_(0) {
  for (std::atomic<char>& b : bytes_) b.store('\0', std::memory_order_relaxed);
}

void PublishedName::Set(const char* name) {
  uint32_t start = sequence_.load(std::memory_order_relaxed);
  sequence_.store(start + 1, std::memory_order_relaxed);
  size_t i = 0;
  for (; i < kSize - 1 && name[i] != '\0'; ++i) bytes_[i].store(name[i], std::memory_order_release);
  for (; i < kSize; ++i) bytes_[i].store('\0', std::memory_order_release);
  sequence_.store(start + 2, std::memory_order_release);
}

void PublishedName::Get(char (&out)[kSize]) const {
  for (;;) {
    uint32_t before = sequence_.load(std::memory_order_acquire);
    if (before & 1) continue;
    for (size_t i = 0; i < kSize; ++i) out[i] = bytes_[i].load(std::memory_order_acquire);
    if (sequence_.load(std::memory_order_relaxed) == before) break;
  }
  out[kSize - 1] = '\0';
}
