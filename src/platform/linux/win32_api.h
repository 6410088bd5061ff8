// The Windows surface of the Linux layer: the types, constants and calls of
// the Win32 SDK that the launcher uses, and nothing more. Each family lives in
// a header of its own, beside the file that implements it.
#ifndef ORVANEL_PLATFORM_LINUX_WIN32_API_H_
#define ORVANEL_PLATFORM_LINUX_WIN32_API_H_

#include "platform/linux/types.h"
#include "platform/linux/d3d9.h"
#include "platform/linux/dinput.h"
#include "platform/linux/kernel.h"
#include "platform/linux/process.h"
#include "platform/linux/urlmon.h"
#include "platform/linux/window.h"

#endif  // ORVANEL_PLATFORM_LINUX_WIN32_API_H_
