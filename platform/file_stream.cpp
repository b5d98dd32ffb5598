// Reading a whole file in bounded chunks (see file_stream.h).
#include "platform/file_stream.h"

#include "platform/platform.h"

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <errno.h>
#  include <fcntl.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace {

// The file is read up to the size it has when it is opened: what it holds
// at that moment, even while another program appends to it (which could
// otherwise keep the reading going without end).
uint32_t chunkFor(uint64_t remaining) {
    const uint32_t chunk = GH_FILE_CHUNK;
    return remaining < chunk ? static_cast<uint32_t>(remaining) : chunk;
}

#if defined(_WIN32)

int streamHandle(HANDLE file, GhFileSink sink, void *user) {
    if (file == INVALID_HANDLE_VALUE) return GH_FILE_OPEN_FAILED;
    int status = GH_FILE_OK;
    if (GetFileType(file) != FILE_TYPE_DISK) status = GH_FILE_OPEN_FAILED;
    LARGE_INTEGER size;
    size.QuadPart = 0;
    if (!status && !GetFileSizeEx(file, &size)) status = GH_FILE_READ_FAILED;
    uint8_t *buffer = status ? nullptr : static_cast<uint8_t *>(gh_heap_alloc(GH_FILE_CHUNK));
    if (!status && !buffer) status = GH_FILE_NO_MEMORY;
    uint64_t remaining = static_cast<uint64_t>(size.QuadPart);
    while (status == GH_FILE_OK && remaining) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, chunkFor(remaining), &got, nullptr)) {
            status = GH_FILE_READ_FAILED;
            break;
        }
        if (got == 0) break;  // cut short meanwhile: what is there
        sink(user, buffer, got);
        remaining -= got;
    }
    gh_heap_free(buffer);
    if (!CloseHandle(file) && status == GH_FILE_OK) status = GH_FILE_READ_FAILED;
    return status;
}

// Readers, writers and deleters elsewhere are not refused: a log that
// another program is still writing is digested as it stands at this moment
// (the bytes read up to the end found), instead of failing to open.  A
// program that holds the file without sharing still keeps us out.
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

SECURITY_ATTRIBUTES noInheritance() {
    SECURITY_ATTRIBUTES sa;
    sa.nLength = sizeof sa;
    sa.lpSecurityDescriptor = nullptr;
    sa.bInheritHandle = FALSE;
    return sa;
}

#endif

}  // namespace

extern "C" {

#if defined(_WIN32)

int gh_file_stream(const char *path, GhFileSink sink, void *user) {
    SECURITY_ATTRIBUTES sa = noInheritance();
    return streamHandle(CreateFileA(path, GENERIC_READ, kShareAll, &sa, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr),
                        sink, user);
}

int gh_file_stream_utf16(const uint16_t *path, GhFileSink sink, void *user) {
    SECURITY_ATTRIBUTES sa = noInheritance();
    return streamHandle(CreateFileW(reinterpret_cast<const wchar_t *>(path), GENERIC_READ,
                                    kShareAll, &sa, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                    nullptr),
                        sink, user);
}

#else

int gh_file_stream(const char *path, GhFileSink sink, void *user) {
    // O_NONBLOCK: opening a pipe must not wait for a writer (it is refused
    // below anyway); for regular files it changes nothing.
    int fd;
    do {
        fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return GH_FILE_OPEN_FAILED;
    int status = GH_FILE_OK;
    // statx rather than fstat: fstat is a glibc 2.33 symbol, statx one of
    // 2.28, the oldest glibc the shipped library then runs on.
    struct statx st;
    if (statx(fd, "", AT_EMPTY_PATH, STATX_TYPE | STATX_SIZE, &st) != 0 || !S_ISREG(st.stx_mode)) {
        status = GH_FILE_OPEN_FAILED;
    }
    uint8_t *buffer = status ? nullptr : static_cast<uint8_t *>(gh_heap_alloc(GH_FILE_CHUNK));
    if (!status && !buffer) status = GH_FILE_NO_MEMORY;
    uint64_t remaining = status ? 0 : static_cast<uint64_t>(st.stx_size);
    while (status == GH_FILE_OK && remaining) {
        ssize_t got = read(fd, buffer, chunkFor(remaining));
        if (got < 0) {
            if (errno == EINTR) continue;
            status = GH_FILE_READ_FAILED;
            break;
        }
        if (got == 0) break;  // cut short meanwhile: what is there
        sink(user, buffer, static_cast<size_t>(got));
        remaining -= static_cast<uint64_t>(got);
    }
    gh_heap_free(buffer);
    if (close(fd) != 0 && status == GH_FILE_OK) status = GH_FILE_READ_FAILED;
    return status;
}

#endif

size_t gh_utf8_from_code_points(const uint32_t *chars, size_t n, char *out) {
    size_t w = 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = chars[i];
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out[0] = 0;
            return static_cast<size_t>(-1);
        }
        if (c < 0x80) {
            out[w++] = static_cast<char>(c);
        } else if (c < 0x800) {
            out[w++] = static_cast<char>(0xC0 | c >> 6);
            out[w++] = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out[w++] = static_cast<char>(0xE0 | c >> 12);
            out[w++] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out[w++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out[w++] = static_cast<char>(0xF0 | c >> 18);
            out[w++] = static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out[w++] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out[w++] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out[w] = 0;
    return w;
}

}  // extern "C"
