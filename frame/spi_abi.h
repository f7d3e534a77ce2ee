/* The binary interface between a plug-in host and the two plug-ins: the exported
 * functions, the records they exchange and the progress callback. Hosts and plug-ins
 * include this one header on both builds.
 *
 * On 32-bit Windows every value is 32 bits wide and the exports and the callback use the
 * stdcall convention, exactly as the hosts expect. On other systems a value that may
 * carry a pointer is pointer-sized:
 *
 *   value                              32-bit Windows          other systems
 *   result, index, sizes, callback     int32_t                 int32_t
 *     numerator and denominator
 *   flag word                          uint32_t                uint32_t
 *   IsSupported's source               32-bit handle/pointer   uintptr_t: <= 0xFFFF is a
 *                                                              file descriptor, above is a
 *                                                              pointer to the first bytes
 *   offset (file position or size)     int32_t                 intptr_t
 *   callback user value                int32_t                 intptr_t
 *   memory-block handle (HLOCAL)       32-bit handle           void *
 *   calling convention                 __stdcall               the C default
 *
 * All records are packed to 1-byte alignment and little-endian. */
#ifndef FRAME_SPI_ABI_H
#define FRAME_SPI_ABI_H

#include <stdint.h>

#include "frame/platform.h"

#if defined(_WIN32)
#define SPI_CALL __stdcall
#define SPI_EXPORT /* named in the library's .def file, undecorated */
#else
#define SPI_CALL
#define SPI_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t spi_result;
typedef uint32_t spi_flags;
typedef intptr_t spi_offset;
typedef uintptr_t spi_source;
typedef intptr_t spi_user;

/* Called by the picture plug-in while it decodes; a non-zero answer cancels. */
typedef int32_t(SPI_CALL *spi_progress)(int32_t numerator, int32_t denominator, spi_user user_value);

#pragma pack(push, 1)

/* One entry of a bind archive, as GetArchiveInfo lists it and GetFileInfo finds it. */
typedef struct spi_entry_info {
    uint8_t method[8];     /* compression method label, NUL-terminated */
    uint32_t position;     /* where the entry's record starts in the bind table */
    uint32_t packed_size;  /* bytes stored */
    uint32_t size;         /* bytes after extraction */
    uint32_t timestamp;
    char directory[200];
    char file_name[200];
    uint32_t checksum;
} spi_entry_info;

/* A picture's placement and format, as GetPictureInfo reports it. */
typedef struct spi_picture_info {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    uint16_t x_density;
    uint16_t y_density;
    int16_t colour_depth;
    HLOCAL text;           /* a block of descriptive text; none here */
} spi_picture_info;

#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(spi_entry_info) == 428, "the entry record is 428 bytes");
static_assert(sizeof(spi_picture_info) == 22 + sizeof(HLOCAL), "the picture info record is 22 bytes and a handle");
#if defined(_WIN32)
static_assert(sizeof(spi_picture_info) == 26, "the picture info record is 26 bytes on 32-bit Windows");
static_assert(sizeof(spi_offset) == 4 && sizeof(spi_source) == 4 && sizeof(spi_user) == 4,
              "32-bit Windows passes 32-bit values");
#endif
#endif

/* Both plug-ins. */
SPI_EXPORT int32_t SPI_CALL GetPluginInfo(int32_t index, char *buffer, int32_t buffer_size);
SPI_EXPORT int32_t SPI_CALL IsSupported(const char *path, spi_source source);

/* The archive plug-in. */
SPI_EXPORT spi_result SPI_CALL GetArchiveInfo(const char *source, spi_offset offset, spi_flags flag, HLOCAL *list_out);
SPI_EXPORT spi_result SPI_CALL GetFileInfo(const char *source, spi_offset offset, const char *name, spi_flags flag,
                                           spi_entry_info *entry_out);
SPI_EXPORT spi_result SPI_CALL GetFile(const char *source, spi_offset offset, char *destination, spi_flags flag,
                                       spi_progress progress, spi_user user_value);

/* The picture plug-in. */
SPI_EXPORT spi_result SPI_CALL GetPictureInfo(const char *source, spi_offset offset, spi_flags flag,
                                              spi_picture_info *info_out);
SPI_EXPORT spi_result SPI_CALL GetPicture(const char *source, spi_offset offset, spi_flags flag, HLOCAL *header_out,
                                          HLOCAL *pixels_out, spi_progress progress, spi_user user_value);
SPI_EXPORT spi_result SPI_CALL GetPreview(const char *source, spi_offset offset, spi_flags flag, HLOCAL *header_out,
                                          HLOCAL *pixels_out, spi_progress progress, spi_user user_value);

/* The same exports as a host holds them after looking them up by name. */
typedef int32_t(SPI_CALL *spi_GetPluginInfo)(int32_t, char *, int32_t);
typedef int32_t(SPI_CALL *spi_IsSupported)(const char *, spi_source);
typedef spi_result(SPI_CALL *spi_GetArchiveInfo)(const char *, spi_offset, spi_flags, HLOCAL *);
typedef spi_result(SPI_CALL *spi_GetFileInfo)(const char *, spi_offset, const char *, spi_flags, spi_entry_info *);
typedef spi_result(SPI_CALL *spi_GetFile)(const char *, spi_offset, char *, spi_flags, spi_progress, spi_user);
typedef spi_result(SPI_CALL *spi_GetPictureInfo)(const char *, spi_offset, spi_flags, spi_picture_info *);
typedef spi_result(SPI_CALL *spi_GetPicture)(const char *, spi_offset, spi_flags, HLOCAL *, HLOCAL *, spi_progress,
                                             spi_user);

#ifdef __cplusplus
}
#endif

#endif
