// The one header through which the system reaches its platform.
//
// On Windows it is the real SDK. Elsewhere it is our own layer, which declares
// exactly the subset of those calls that the launcher uses and implements them
// on SDL2, libcurl and POSIX. Nothing outside src/platform tests which
// operating system it is built for.
#ifndef ORVANEL_PLATFORM_WIN32_H_
#define ORVANEL_PLATFORM_WIN32_H_

#ifdef _WIN32
#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>
#include <dinput.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <stdio.h>
#include <urlmon.h>
#include <wininet.h>
#else
#include "platform/linux/win32_api.h"
#endif

#endif  // ORVANEL_PLATFORM_WIN32_H_
