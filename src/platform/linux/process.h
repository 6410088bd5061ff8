// Starting the game client and waiting for it, on POSIX.
//
// CreateProcessA starts the named file (in the working directory when the
// name has no folder) with its argument vector split from the command line
// as Windows splits one. The child inherits the environment and the working
// directory and no descriptor but the standard three. It fails when the file
// is missing or cannot be executed.
#ifndef ORVANEL_PLATFORM_LINUX_PROCESS_H_
#define ORVANEL_PLATFORM_LINUX_PROCESS_H_

#include <string>
#include <vector>

#include "platform/linux/kernel.h"
#include "platform/linux/types.h"

#define WAIT_OBJECT_0 0
#define WAIT_TIMEOUT 258
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)

typedef struct _STARTUPINFOA {
  DWORD cb;
  LPSTR lpReserved;
  LPSTR lpDesktop;
  LPSTR lpTitle;
  DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute, dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  BYTE* lpReserved2;
  HANDLE hStdInput, hStdOutput, hStdError;
} STARTUPINFOA;

typedef struct _PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
} PROCESS_INFORMATION;

BOOL WINAPI CreateProcessA(LPCSTR application, LPSTR commandLine,
                           SECURITY_ATTRIBUTES* processAttributes,
                           SECURITY_ATTRIBUTES* threadAttributes, BOOL inheritHandles,
                           DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory,
                           STARTUPINFOA* startupInfo, PROCESS_INFORMATION* processInformation);
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);

namespace platform {

// A command line split into arguments by the rules of the Windows C
// runtime: blanks separate, double quotes group, backslashes escape quotes.
std::vector<std::string> SplitCommandLine(const char* commandLine);

}  // namespace platform

#endif  // ORVANEL_PLATFORM_LINUX_PROCESS_H_
