// The process: start-up, the window procedure, the frame loop, Shutdown and
// FatalError, all on the UI thread.
#ifndef ORVANEL_SHELL_LAUNCHER_H_
#define ORVANEL_SHELL_LAUNCHER_H_

#include "platform/win32.h"
#include "shell/cmain.h"

extern HANDLE instanceMutex;  // "Orvanel Launcher", held until Shutdown
extern HWND mainWindow;
extern MSG loopMessage;       // the last message the frame loop retrieved
extern CMain* mainObject;

// The start-up of the entry point: the single-instance rule, System.ini, the
// window and the launcher object, then InitLauncher and the frame loop.
// Returns 0 on every path, the process's exit code.
int StartLauncher(HINSTANCE instance, int show);

// Sets up what the window needs: the launcher object's fields first, then
// the subsystems that draw and read the mouse. Failures go through FatalError.
void InitLauncher(HINSTANCE instance);

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                 LPARAM lParam);

// Gives up the mutex and deletes everything, once; later calls do nothing.
void Shutdown();

// True once Shutdown has run: the operation that asked must return at once,
// and no further frame starts.
bool ShutdownHasRun();

// A modal "ERROR!" box owned by the launcher window, then the destroy
// message, whose handling runs Shutdown before this returns.
void FatalError(const char* text, UINT icon);

// Drains the queue and runs frames until the quit message; returns 0.
int RunFrameLoop();

#endif  // ORVANEL_SHELL_LAUNCHER_H_
