// The library entry point of both DLLs: loading and unloading need no work.
#include "frame/platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
