// The worker-thread facility of the platform's class library, for both
// builds (mingw-w64 has no MFC): the CWinThread class and AfxBeginThread,
// which runs one procedure with one parameter on a new thread and discards
// the thread object it returned once the procedure has returned.
#ifndef ORVANEL_PLATFORM_WINTHREAD_H_
#define ORVANEL_PLATFORM_WINTHREAD_H_

#include "platform/win32.h"

class CObject {
 public:
  virtual ~CObject();
};

class CCmdTarget : public CObject {};

class CWinThread : public CCmdTarget {
 public:
  CWinThread();
  ~CWinThread() override;
};

typedef UINT (*AFX_THREADPROC)(LPVOID parameter);

// Starts procedure(parameter) at once on a new thread. The returned object
// belongs to the facility, which deletes it when the procedure returns: the
// caller must not use it after that. nullptr when no thread could be started.
// Priority, stack size, flags and security are accepted for the interface's
// sake; the thread always runs at normal priority with the default stack.
CWinThread* AfxBeginThread(AFX_THREADPROC procedure, LPVOID parameter,
                           int priority = THREAD_PRIORITY_NORMAL, UINT stackSize = 0,
                           DWORD createFlags = 0, SECURITY_ATTRIBUTES* security = nullptr);

#endif  // ORVANEL_PLATFORM_WINTHREAD_H_
