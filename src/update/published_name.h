// A name that one thread writes and another reads whole: a seqlock over
// atomic bytes. The reader retries while a write is under way, so it never
// gets half of one name and half of another, and no lock is taken.
#ifndef ORVANEL_UPDATE_PUBLISHED_NAME_H_
#define ORVANEL_UPDATE_PUBLISHED_NAME_H_

#include <atomic>
#include <cstddef>
#include <cstdint>

class PublishedName {
 public:
  static const size_t kSize = 260;

  PublishedName();

  // Writer (one thread only): copies up to kSize - 1 bytes of name.
  void Set(const char* name);
  // Any thread: copies the last complete name, NUL-terminated, into out.
  void Get(char (&out)[kSize]) const;

 private:
  std::atomic<uint32_t> sequence_;  // odd while a write is under way
  std::atomic<char> bytes_[kSize];
};

#endif  // ORVANEL_UPDATE_PUBLISHED_NAME_H_
