#include "platform/winthread.h"

#include <new>
#include <system_error>
#include <thread>

CObject::~CObject() {}

CWinThread::CWinThread() {}

CWinThread::~CWinThread() {}

CWinThread* AfxBeginThread(AFX_THREADPROC procedure, LPVOID parameter, int, UINT, DWORD,
                           SECURITY_ATTRIBUTES*) {
  CWinThread* thread = new (std::nothrow) CWinThread();
  if (thread == nullptr) return nullptr;
  try {
    std::thread([thread, procedure, parameter] {
      procedure(parameter);
      delete thread;
    }).detach();
  } catch (const std::system_error&) {
    delete thread;
    return nullptr;
  }
  return thread;
}
