// Kernel services of the Linux layer: named mutexes, local time, files and
// folders, sleeping, and the C runtime's fopen_s.
//
// Paths: a backslash in a path handed to any call here is a folder separator,
// so the system can keep writing "temp\patch.ini" as its log lines show it.
//
// Streams opened by fopen_s in text mode ("t", or neither "t" nor "b") behave
// as on Windows: a line feed written reaches the disk as CR LF, and a CR LF
// read arrives as a single line feed. Both builds therefore leave the same
// bytes in Debug.txt.
#ifndef ORVANEL_PLATFORM_LINUX_KERNEL_H_
#define ORVANEL_PLATFORM_LINUX_KERNEL_H_

#include <cstdio>
#include <string>

#include "platform/linux/types.h"

#define MUTEX_ALL_ACCESS 0x1F0001

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x80
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_FILE_ATTRIBUTES ((DWORD)0xFFFFFFFF)
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define MOVEFILE_REPLACE_EXISTING 0x1
#define MOVEFILE_WRITE_THROUGH 0x8

#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_ALREADY_EXISTS 183

#define INFINITE 0xFFFFFFFFu
#define THREAD_PRIORITY_NORMAL 0

typedef struct _SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
} SYSTEMTIME;

typedef int errno_t;

HANDLE WINAPI OpenMutexA(DWORD desiredAccess, BOOL inheritHandle, LPCSTR name);
HANDLE WINAPI CreateMutexA(SECURITY_ATTRIBUTES* attributes, BOOL initialOwner,
                           LPCSTR name);
BOOL WINAPI ReleaseMutex(HANDLE mutex);
BOOL WINAPI CloseHandle(HANDLE object);
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD error);

void WINAPI GetLocalTime(SYSTEMTIME* time);
void WINAPI Sleep(DWORD milliseconds);

HANDLE WINAPI CreateFileA(LPCSTR path, DWORD desiredAccess, DWORD shareMode,
                          SECURITY_ATTRIBUTES* attributes, DWORD disposition,
                          DWORD flags, HANDLE templateFile);
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh);
BOOL WINAPI WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                      void* overlapped);
BOOL WINAPI FlushFileBuffers(HANDLE file);
BOOL WINAPI MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags);
BOOL WINAPI DeleteFileA(LPCSTR path);
BOOL WINAPI CreateDirectoryA(LPCSTR path, SECURITY_ATTRIBUTES* attributes);
DWORD WINAPI GetFileAttributesA(LPCSTR path);

errno_t fopen_s(FILE** stream, const char* path, const char* mode);

namespace platform {

// A Windows path as a path of this system: every backslash becomes a slash.
std::string NativePath(const char* path);

// Every handle the kernel family hands out points to one of these; CloseHandle
// deletes it. Other families (processes, threads) derive their own.
class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// The kernel family's backend. The free functions above forward to the
// installed one; a test installs a KernelApiWrapper that changes one call and
// forwards the rest, with a ScopedKernelApi to put the previous one back.
class KernelApi {
 public:
  virtual ~KernelApi() = default;

  virtual HANDLE OpenMutex(DWORD access, BOOL inherit, const char* name) = 0;
  virtual HANDLE CreateMutex(BOOL initialOwner, const char* name) = 0;
  virtual void GetLocalTime(SYSTEMTIME* time) = 0;
  virtual void Sleep(DWORD milliseconds) = 0;
  virtual HANDLE CreateFile(const char* path, DWORD access, DWORD disposition) = 0;
  virtual BOOL WriteFile(HANDLE file, const void* data, DWORD size,
                         DWORD* written) = 0;
  virtual BOOL MoveFileEx(const char* from, const char* to, DWORD flags) = 0;
  virtual errno_t OpenStream(FILE** stream, const char* path,
                             const char* mode) = 0;

  // The installed backend, and the default one built on POSIX.
  static KernelApi* Current();
  static KernelApi* Default();
  // Installs api (nullptr: the default) and returns the previous one.
  static KernelApi* Install(KernelApi* api);
};

class KernelApiWrapper : public KernelApi {
 public:
  explicit KernelApiWrapper(KernelApi* target = KernelApi::Current())
      : target_(target) {}

  HANDLE OpenMutex(DWORD access, BOOL inherit, const char* name) override {
    return target_->OpenMutex(access, inherit, name);
  }
  HANDLE CreateMutex(BOOL initialOwner, const char* name) override {
    return target_->CreateMutex(initialOwner, name);
  }
  void GetLocalTime(SYSTEMTIME* time) override { target_->GetLocalTime(time); }
  void Sleep(DWORD milliseconds) override { target_->Sleep(milliseconds); }
  HANDLE CreateFile(const char* path, DWORD access, DWORD disposition) override {
    return target_->CreateFile(path, access, disposition);
  }
  BOOL WriteFile(HANDLE file, const void* data, DWORD size,
                 DWORD* written) override {
    return target_->WriteFile(file, data, size, written);
  }
  BOOL MoveFileEx(const char* from, const char* to, DWORD flags) override {
    return target_->MoveFileEx(from, to, flags);
  }
  errno_t OpenStream(FILE** stream, const char* path, const char* mode) override {
    return target_->OpenStream(stream, path, mode);
  }

 private:
  KernelApi* target_;
};

// Installs a backend of any family for one scope.
template <class Api>
class ScopedApi {
 public:
  explicit ScopedApi(Api* api) : previous_(Api::Install(api)) {}
  ~ScopedApi() { Api::Install(previous_); }
  ScopedApi(const ScopedApi&) = delete;
  ScopedApi& operator=(const ScopedApi&) = delete;

 private:
  Api* previous_;
};

using ScopedKernelApi = ScopedApi<KernelApi>;

}  // namespace platform

#endif  // ORVANEL_PLATFORM_LINUX_KERNEL_H_
