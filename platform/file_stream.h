/* Reading a whole file in bounded chunks, for the file mode of the SHA-2
 * digest functions.
 *
 * The file is read front to back through one buffer of GH_FILE_CHUNK bytes
 * from the library's heap (freed on every way out), each chunk handed to a
 * sink: memory stays the same however large the file, and sizes and
 * offsets are 64-bit, so files of 4 GiB and more are read whole.  Only
 * regular files are read: a directory, device or pipe fails like a missing
 * file (a device such as /dev/zero would never end, a pipe would block).
 *
 * The file is read as it stands when it is opened: up to the size it has
 * then, while other programs may go on reading, writing or deleting it (on
 * Windows it is opened with read, write and delete sharing; only a program
 * that holds it without sharing keeps us out). */
#ifndef GH_FILE_STREAM_H
#define GH_FILE_STREAM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    GH_FILE_CHUNK = 1 << 20,
    GH_FILE_OK = 0,
    GH_FILE_NO_MEMORY = 2,    /* the chunk buffer could not be allocated */
    GH_FILE_OPEN_FAILED = 4,  /* missing, not readable, not a regular file */
    GH_FILE_READ_FAILED = 5   /* a read or the close failed */
};

typedef void (*GhFileSink)(void *user, const uint8_t *data, size_t n);

/* A path of bytes: open() on POSIX systems (the bytes as they are: UTF-8 on
 * Linux), CreateFileA on Windows (the ANSI code page).  NUL-terminated, of
 * any length: on Windows a path of MAX_PATH characters or more is opened in
 * its extended-length form (see gh_file_stream_utf16). */
int gh_file_stream(const char *path, GhFileSink sink, void *user);

#if defined(_WIN32)
/* A UTF-16 path, NUL-terminated: CreateFileW.  A path of MAX_PATH
 * characters or more is made absolute and opened as \\?\C:\... (or
 * \\?\UNC\server\share\...), the form the system takes past its classic
 * limit. */
int gh_file_stream_utf16(const uint16_t *path, GhFileSink sink, void *user);
#endif

/* Writes the UTF-8 form of n code points to out (room for 4n + 1 bytes),
 * NUL-terminated; returns the bytes written, the NUL excluded.  A code point
 * above 0x10FFFF or in the surrogate range cannot name a file: returns
 * (size_t)-1 and writes an empty string. */
size_t gh_utf8_from_code_points(const uint32_t *chars, size_t n, char *out);

#ifdef __cplusplus
}
#endif

#endif
