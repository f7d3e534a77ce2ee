/* win32compat: the handful of Windows kernel services that the plug-ins and their hosts
 * use, for builds on other systems. Both plug-ins and every native host link the one
 * shared library, libwin32compat.so, so a memory block allocated by a plug-in can be
 * locked and freed by the host, as with the kernel library on Windows.
 *
 * Only what the plug-ins rely on is provided, with the behaviour they rely on:
 *  - local memory: fixed blocks (the handle is the address) and movable blocks (the
 *    handle is not an address; LocalLock gives one and counts locks), zero-filled on
 *    request; a movable block of zero bytes has no memory and cannot be locked;
 *  - FindFirstFileA/FindClose: existence, attributes and 64-bit size of a path, with
 *    '*' and '?' wildcards in its last component (the first match in name order answers);
 *  - ReadFile on a file handle, which here is a POSIX file descriptor (0 is not a
 *    valid handle);
 *  - the lstr* string calls, where lstrcmpiA folds the ASCII letters only.
 *
 * For tests it also counts live memory blocks and open find handles, and can make the
 * n-th following LocalAlloc or LocalLock fail. */
#ifndef WIN32COMPAT_H
#define WIN32COMPAT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WIN32COMPAT_API __attribute__((visibility("default")))

typedef int BOOL;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef size_t SIZE_T;
typedef void *HANDLE;
typedef void *HLOCAL;
typedef void *LPVOID;
typedef const char *LPCSTR;
typedef char *LPSTR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define WINAPI /* the C default: there is one calling convention */

#define MAX_PATH 260

#define LMEM_FIXED    0x0000u
#define LMEM_MOVEABLE 0x0002u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

#define FILE_ATTRIBUTE_READONLY  0x01u
#define FILE_ATTRIBUTE_DIRECTORY 0x10u
#define FILE_ATTRIBUTE_ARCHIVE   0x20u

typedef struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME;

typedef struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    char cFileName[MAX_PATH];
    char cAlternateFileName[14];
} WIN32_FIND_DATAA;

/* Local memory. */
WIN32COMPAT_API HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
WIN32COMPAT_API LPVOID LocalLock(HLOCAL block);
WIN32COMPAT_API BOOL LocalUnlock(HLOCAL block);
WIN32COMPAT_API HLOCAL LocalFree(HLOCAL block);
WIN32COMPAT_API SIZE_T LocalSize(HLOCAL block);

/* Files. */
WIN32COMPAT_API HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA *found);
WIN32COMPAT_API BOOL FindClose(HANDLE search);
WIN32COMPAT_API BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD to_read, DWORD *read, void *overlapped);

/* ANSI strings. */
WIN32COMPAT_API int lstrlenA(LPCSTR s);
WIN32COMPAT_API LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int size);
WIN32COMPAT_API LPSTR lstrcpyA(LPSTR dst, LPCSTR src);
WIN32COMPAT_API LPSTR lstrcatA(LPSTR dst, LPCSTR src);
WIN32COMPAT_API int lstrcmpA(LPCSTR a, LPCSTR b);
WIN32COMPAT_API int lstrcmpiA(LPCSTR a, LPCSTR b);

/* Test hooks. */
/* Number of local-memory blocks allocated and not yet freed, in the whole process. */
WIN32COMPAT_API size_t win32compat_live_blocks(void);
/* Number of LocalAlloc calls that succeeded, and the bytes they asked for, since the
 * process started. */
WIN32COMPAT_API size_t win32compat_allocations(void);
WIN32COMPAT_API uint64_t win32compat_allocated_bytes(void);
/* Number of find handles opened and not yet closed. */
WIN32COMPAT_API size_t win32compat_open_searches(void);
/* Make the n-th LocalAlloc (or LocalLock) from now fail, 1 being the next one; 0 disarms. */
WIN32COMPAT_API void win32compat_fail_alloc(unsigned nth);
WIN32COMPAT_API void win32compat_fail_lock(unsigned nth);

#ifdef __cplusplus
}
#endif

#endif
