// The kernel services the plug-ins and hosts call: the real ones on Windows, our own
// win32compat layer elsewhere.
#ifndef FRAME_PLATFORM_H
#define FRAME_PLATFORM_H

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "platform/win32compat.h"
#endif

#endif
