// Kernel services on POSIX.
//
// A named mutex is a file in the user's runtime folder that every handle
// holds a shared flock on: the name exists while any process holds a handle,
// and the kernel drops the lock when that process ends, by exit, crash or
// kill -9 alike. Checking for existence takes an exclusive lock without
// waiting, so two checks must not run at once; a second lock file, the
// guard, serialises the check-and-create of all processes.
#include "platform/linux/kernel.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {
namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT:
    case ENOTDIR: return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOSPC: return 112;  // ERROR_DISK_FULL
    default: return 31;       // ERROR_GEN_FAILURE
  }
}

BOOL FailWithErrno() {
  lastError = ErrorFromErrno(errno);
  return FALSE;
}

class MutexObject : public KernelObject {
 public:
  MutexObject(int fd, bool owned) : fd_(fd), owned_(owned) {}
  ~MutexObject() override {
    if (fd_ >= 0) close(fd_);  // closing drops the shared lock
  }
  bool Release() {
    if (!owned_) return false;
    owned_ = false;
    return true;
  }

 private:
  int fd_;
  bool owned_;
};

class FileObject : public KernelObject {
 public:
  explicit FileObject(int fd) : fd_(fd) {}
  ~FileObject() override { close(fd_); }
  int fd() const { return fd_; }

 private:
  int fd_;
};

// The folder that holds the files of named objects: per user, like a Windows
// session's namespace.
std::string NamedObjectFolder() {
  std::string folder;
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    folder = std::string(runtime) + "/orvanel";
  } else {
    folder = "/tmp/orvanel-" + std::to_string(getuid());
  }
  mkdir(folder.c_str(), 0700);
  return folder;
}

std::string NamedObjectPath(const char* name, const char* suffix) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string path = NamedObjectFolder() + "/";
  for (const char* p = name; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (isalnum(c) || c == '.' || c == '_' || c == '-') {
      path += static_cast<char>(c);
    } else {
      path += '%';
      path += kHex[c >> 4];
      path += kHex[c & 15];
    }
  }
  return path + suffix;
}

// Holds the guard lock for one check-and-create.
class GuardLock {
 public:
  explicit GuardLock(const char* name) {
    fd_ = open(NamedObjectPath(name, ".guard").c_str(),
               O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
      while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~GuardLock() {
    if (fd_ >= 0) close(fd_);
  }

 private:
  int fd_;
};

int OpenNameFile(const char* name) {
  return open(NamedObjectPath(name, ".mutex").c_str(),
              O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

// True when some process holds a handle on the name file's mutex. Must run
// under the guard.
bool NameIsHeld(int fd) {
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    flock(fd, LOCK_UN);
    return false;
  }
  return true;
}

// fopen_s's text mode: CR LF on disk, LF in memory.
struct TextStream {
  int fd;
  char raw[4096];
  size_t rawPos;
  size_t rawEnd;
};

// The next byte of the file, or -1 at its end or on an error; peek leaves it.
int RawByte(TextStream* s, bool peek) {
  if (s->rawPos == s->rawEnd) {
    ssize_t got;
    do {
      got = read(s->fd, s->raw, sizeof s->raw);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return -1;
    s->rawPos = 0;
    s->rawEnd = static_cast<size_t>(got);
  }
  unsigned char c = static_cast<unsigned char>(s->raw[s->rawPos]);
  if (!peek) ++s->rawPos;
  return c;
}

ssize_t TextRead(void* cookie, char* out, size_t size) {
  TextStream* s = static_cast<TextStream*>(cookie);
  size_t produced = 0;
  while (produced < size) {
    int c = RawByte(s, false);
    if (c < 0) break;
    if (c == '\r' && RawByte(s, true) == '\n') c = RawByte(s, false);
    out[produced++] = static_cast<char>(c);
  }
  return static_cast<ssize_t>(produced);
}

ssize_t TextWrite(void* cookie, const char* data, size_t size) {
  TextStream* s = static_cast<TextStream*>(cookie);
  std::string disk;
  disk.reserve(size + size / 8 + 1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') disk += '\r';
    disk += data[i];
  }
  // One write call for the whole buffer, so that appends of two writers stay
  // whole lines.
  size_t done = 0;
  while (done < disk.size()) {
    ssize_t n = write(s->fd, disk.data() + done, disk.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return done == 0 ? -1 : 0;
    }
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(size);
}

int TextClose(void* cookie) {
  TextStream* s = static_cast<TextStream*>(cookie);
  int result = close(s->fd);
  delete s;
  return result;
}

class PosixKernel : public KernelApi {
 public:
  HANDLE OpenMutex(DWORD, BOOL, const char* name) override {
    if (name == nullptr) {
      lastError = ERROR_FILE_NOT_FOUND;
      return nullptr;
    }
    GuardLock guard(name);
    int fd = OpenNameFile(name);
    if (fd < 0) {
      FailWithErrno();
      return nullptr;
    }
    if (!NameIsHeld(fd)) {
      close(fd);
      lastError = ERROR_FILE_NOT_FOUND;
      return nullptr;
    }
    flock(fd, LOCK_SH);
    lastError = ERROR_SUCCESS;
    return static_cast<KernelObject*>(new MutexObject(fd, false));
  }

  HANDLE CreateMutex(BOOL initialOwner, const char* name) override {
    if (name == nullptr) {
      lastError = ERROR_SUCCESS;
      return static_cast<KernelObject*>(new MutexObject(-1, initialOwner != FALSE));
    }
    GuardLock guard(name);
    int fd = OpenNameFile(name);
    if (fd < 0) {
      FailWithErrno();
      return nullptr;
    }
    bool existed = NameIsHeld(fd);
    flock(fd, LOCK_SH);
    // Like Windows: an existing mutex is opened, not owned, and says so.
    lastError = existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
    return static_cast<KernelObject*>(
        new MutexObject(fd, !existed && initialOwner != FALSE));
  }

  void GetLocalTime(SYSTEMTIME* out) override {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tm local;
    localtime_r(&now.tv_sec, &local);
    out->wYear = static_cast<WORD>(local.tm_year + 1900);
    out->wMonth = static_cast<WORD>(local.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    out->wDay = static_cast<WORD>(local.tm_mday);
    out->wHour = static_cast<WORD>(local.tm_hour);
    out->wMinute = static_cast<WORD>(local.tm_min);
    out->wSecond = static_cast<WORD>(local.tm_sec);
    out->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
  }

  void Sleep(DWORD milliseconds) override {
    timespec left;
    left.tv_sec = milliseconds / 1000;
    left.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
  }

  HANDLE CreateFile(const char* path, DWORD access, DWORD disposition) override {
    int flags = O_CLOEXEC;
    bool reads = (access & GENERIC_READ) != 0;
    bool writes = (access & GENERIC_WRITE) != 0;
    flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    if (disposition == CREATE_ALWAYS) {
      flags |= O_CREAT | O_TRUNC;
    } else if (disposition != OPEN_EXISTING) {
      lastError = 87;  // ERROR_INVALID_PARAMETER: not used by the launcher
      return INVALID_HANDLE_VALUE;
    }
    int fd = open(NativePath(path).c_str(), flags, 0666);
    if (fd < 0) {
      FailWithErrno();
      return INVALID_HANDLE_VALUE;
    }
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
      close(fd);
      lastError = ERROR_ACCESS_DENIED;
      return INVALID_HANDLE_VALUE;
    }
    lastError = ERROR_SUCCESS;
    return static_cast<KernelObject*>(new FileObject(fd));
  }

  BOOL WriteFile(HANDLE file, const void* data, DWORD size,
                 DWORD* written) override {
    FileObject* object = AsFile(file);
    if (written != nullptr) *written = 0;
    if (object == nullptr) return FALSE;
    const char* bytes = static_cast<const char*>(data);
    DWORD done = 0;
    while (done < size) {
      ssize_t n = write(object->fd(), bytes + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (written != nullptr) *written = done;
        return FailWithErrno();
      }
      done += static_cast<DWORD>(n);
    }
    if (written != nullptr) *written = done;
    return TRUE;
  }

  BOOL MoveFileEx(const char* from, const char* to, DWORD flags) override {
    std::string source = NativePath(from);
    std::string target = NativePath(to);
    unsigned int mode = (flags & MOVEFILE_REPLACE_EXISTING) ? 0 : RENAME_NOREPLACE;
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), mode) != 0) {
      return FailWithErrno();
    }
    if (flags & MOVEFILE_WRITE_THROUGH) {
      // The rename itself reaches the disk only with its folder.
      std::string folder = ".";
      size_t slash = target.rfind('/');
      if (slash != std::string::npos) folder = slash == 0 ? "/" : target.substr(0, slash);
      int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (fd >= 0) {
        fsync(fd);
        close(fd);
      }
    }
    return TRUE;
  }

  errno_t OpenStream(FILE** stream, const char* path, const char* mode) override {
    if (stream == nullptr || path == nullptr || mode == nullptr) return EINVAL;
    *stream = nullptr;
    bool binary = strchr(mode, 'b') != nullptr;
    bool update = strchr(mode, '+') != nullptr;
    std::string cMode;
    for (const char* m = mode; *m != '\0'; ++m) {
      if (*m != 't') cMode += *m;
    }
    int flags = O_CLOEXEC;
    switch (mode[0]) {
      case 'r': flags |= update ? O_RDWR : O_RDONLY; break;
      case 'w': flags |= (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
      case 'a': flags |= (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
      default: return EINVAL;
    }
    int fd = open(NativePath(path).c_str(), flags, 0666);
    if (fd < 0) return errno;
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
      close(fd);  // a folder is no file, as on Windows
      return EACCES;
    }
    if (binary) {
      *stream = fdopen(fd, cMode.c_str());
      if (*stream == nullptr) {
        int error = errno;
        close(fd);
        return error;
      }
      return 0;
    }
    TextStream* cookie = new TextStream();
    cookie->fd = fd;
    cookie_io_functions_t io = {TextRead, TextWrite, nullptr, TextClose};
    *stream = fopencookie(cookie, cMode.c_str(), io);
    if (*stream == nullptr) {
      int error = errno;
      TextClose(cookie);
      return error;
    }
    return 0;
  }

  static FileObject* AsFile(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
      lastError = ERROR_INVALID_HANDLE;
      return nullptr;
    }
    FileObject* file = dynamic_cast<FileObject*>(static_cast<KernelObject*>(handle));
    if (file == nullptr) lastError = ERROR_INVALID_HANDLE;
    return file;
  }
};

std::atomic<KernelApi*> installed{nullptr};

}  // namespace

std::string NativePath(const char* path) {
  std::string native = path != nullptr ? path : "";
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

KernelApi* KernelApi::Default() {
  static PosixKernel kernel;
  return &kernel;
}

KernelApi* KernelApi::Current() {
  KernelApi* api = installed.load(std::memory_order_acquire);
  return api != nullptr ? api : Default();
}

KernelApi* KernelApi::Install(KernelApi* api) {
  KernelApi* previous = installed.exchange(api, std::memory_order_acq_rel);
  return previous != nullptr ? previous : Default();
}

}  // namespace platform

using platform::KernelApi;

HANDLE WINAPI OpenMutexA(DWORD access, BOOL inherit, LPCSTR name) {
  return KernelApi::Current()->OpenMutex(access, inherit, name);
}

HANDLE WINAPI CreateMutexA(SECURITY_ATTRIBUTES*, BOOL initialOwner, LPCSTR name) {
  return KernelApi::Current()->CreateMutex(initialOwner, name);
}

BOOL WINAPI ReleaseMutex(HANDLE mutex) {
  if (mutex == nullptr || mutex == INVALID_HANDLE_VALUE) {
    platform::lastError = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  auto* object = dynamic_cast<platform::MutexObject*>(
      static_cast<platform::KernelObject*>(mutex));
  if (object == nullptr || !object->Release()) {
    platform::lastError = 288;  // ERROR_NOT_OWNER
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object) {
  if (object == nullptr || object == INVALID_HANDLE_VALUE) {
    platform::lastError = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  delete static_cast<platform::KernelObject*>(object);
  return TRUE;
}

DWORD WINAPI GetLastError() { return platform::lastError; }
void WINAPI SetLastError(DWORD error) { platform::lastError = error; }

void WINAPI GetLocalTime(SYSTEMTIME* time) { KernelApi::Current()->GetLocalTime(time); }
void WINAPI Sleep(DWORD milliseconds) { KernelApi::Current()->Sleep(milliseconds); }

HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD, SECURITY_ATTRIBUTES*,
                          DWORD disposition, DWORD, HANDLE) {
  return KernelApi::Current()->CreateFile(path, access, disposition);
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh) {
  platform::FileObject* object = platform::PosixKernel::AsFile(file);
  struct stat info;
  if (object == nullptr || fstat(object->fd(), &info) != 0) {
    if (sizeHigh != nullptr) *sizeHigh = 0;
    return INVALID_FILE_SIZE;
  }
  uint64_t size = static_cast<uint64_t>(info.st_size);
  if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(size >> 32);
  return static_cast<DWORD>(size);
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, void*) {
  return KernelApi::Current()->WriteFile(file, data, size, written);
}

BOOL WINAPI FlushFileBuffers(HANDLE file) {
  platform::FileObject* object = platform::PosixKernel::AsFile(file);
  if (object == nullptr) return FALSE;
  if (fsync(object->fd()) != 0) return platform::FailWithErrno();
  return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
  return KernelApi::Current()->MoveFileEx(from, to, flags);
}

BOOL WINAPI DeleteFileA(LPCSTR path) {
  if (unlink(platform::NativePath(path).c_str()) != 0) return platform::FailWithErrno();
  return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR path, SECURITY_ATTRIBUTES*) {
  if (mkdir(platform::NativePath(path).c_str(), 0777) != 0) return platform::FailWithErrno();
  return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR path) {
  struct stat info;
  if (stat(platform::NativePath(path).c_str(), &info) != 0) {
    platform::FailWithErrno();
    return INVALID_FILE_ATTRIBUTES;
  }
  return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

errno_t fopen_s(FILE** stream, const char* path, const char* mode) {
  return KernelApi::Current()->OpenStream(stream, path, mode);
}
