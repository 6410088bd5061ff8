#include "platform/linux/process.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

class ProcessObject : public KernelObject {
 public:
  explicit ProcessObject(pid_t pid) : pid_(pid) {}
  DWORD Wait(DWORD milliseconds) {
    if (ended_) return WAIT_OBJECT_0;
    int status;
    if (milliseconds == INFINITE) {
      while (waitpid(pid_, &status, 0) < 0) {
        if (errno != EINTR) return WAIT_FAILED;
      }
      ended_ = true;
      return WAIT_OBJECT_0;
    }
    for (DWORD waited = 0;; waited += 10) {
      pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        ended_ = true;
        return WAIT_OBJECT_0;
      }
      if (done < 0) return WAIT_FAILED;
      if (waited >= milliseconds) return WAIT_TIMEOUT;
      usleep(10000);
    }
  }

 private:
  pid_t pid_;
  bool ended_ = false;
};

// The first thread of a process: nothing to do with it here but close it.
class ThreadObject : public KernelObject {};

}  // namespace

std::vector<std::string> SplitCommandLine(const char* commandLine) {
  std::vector<std::string> arguments;
  if (commandLine == nullptr) return arguments;
  const char* p = commandLine;
  for (;;) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') break;
    std::string argument;
    bool quoted = false;
    for (; *p != '\0' && (quoted || (*p != ' ' && *p != '\t')); ++p) {
      if (*p == '\\') {
        size_t slashes = 0;
        while (p[slashes] == '\\') ++slashes;
        if (p[slashes] == '"') {
          argument.append(slashes / 2, '\\');
          p += slashes;
          if (slashes % 2 == 1) {
            argument += '"';
          } else {
            quoted = !quoted;
          }
        } else {
          argument.append(slashes, '\\');
          p += slashes - 1;
        }
      } else if (*p == '"') {
        if (quoted && p[1] == '"') {
          argument += '"';  // "" inside quotes is one quote
          ++p;
        } else {
          quoted = !quoted;
        }
      } else {
        argument += *p;
      }
    }
    arguments.push_back(argument);
  }
  return arguments;
}

}  // namespace platform

BOOL WINAPI CreateProcessA(LPCSTR application, LPSTR commandLine, SECURITY_ATTRIBUTES*,
                           SECURITY_ATTRIBUTES*, BOOL, DWORD, LPVOID, LPCSTR, STARTUPINFOA*,
                           PROCESS_INFORMATION* information) {
  if (application == nullptr || information == nullptr) {
    SetLastError(87);  // ERROR_INVALID_PARAMETER
    return FALSE;
  }
  std::string path = platform::NativePath(application);
  if (path.find('/') == std::string::npos) path = "./" + path;
  std::vector<std::string> arguments = platform::SplitCommandLine(commandLine);
  if (arguments.empty()) arguments.push_back(application);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  argv.push_back(nullptr);

  // Only the standard three descriptors go to the child.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  // A fresh signal disposition: the launcher's handlers are not the game's.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  pid_t pid;
  int error = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    SetLastError(error == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
    return FALSE;
  }
  information->hProcess = static_cast<platform::KernelObject*>(new platform::ProcessObject(pid));
  information->hThread = static_cast<platform::KernelObject*>(new platform::ThreadObject());
  information->dwProcessId = static_cast<DWORD>(pid);
  information->dwThreadId = static_cast<DWORD>(pid);
  return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return WAIT_FAILED;
  auto* process =
      dynamic_cast<platform::ProcessObject*>(static_cast<platform::KernelObject*>(handle));
  if (process == nullptr) return WAIT_FAILED;
  return process->Wait(milliseconds);
}
