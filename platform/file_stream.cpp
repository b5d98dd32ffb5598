// Reading a whole file in bounded chunks (see file_stream.h).
#include "platform/file_stream.h"

#include "platform/platform.h"

#if defined(_WIN32)
#  include <string.h>
#  include <wchar.h>
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

HANDLE createForReading(const wchar_t *path) {
    SECURITY_ATTRIBUTES sa = noInheritance();
    return CreateFileW(path, GENERIC_READ, kShareAll, &sa, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// A path of MAX_PATH characters or more opens only in the extended-length
// form (\\?\C:\... or \\?\UNC\server\share\...).  The system takes that
// form as it stands, without making it absolute or turning / into \, so the
// full path is made first.  Shorter paths are opened as they are.
HANDLE openForReading(const wchar_t *path) {
    if (wcslen(path) < MAX_PATH || wcsncmp(path, L"\\\\?\\", 4) == 0 ||
        wcsncmp(path, L"\\\\.\\", 4) == 0)
        return createForReading(path);
    DWORD need = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (need == 0) return INVALID_HANDLE_VALUE;
    const size_t kPrefixRoom = 8;  // room for \\?\UNC in front of the full path
    auto *buffer = static_cast<wchar_t *>(gh_heap_alloc((kPrefixRoom + need) * sizeof(wchar_t)));
    if (!buffer) return INVALID_HANDLE_VALUE;
    wchar_t *full = buffer + kPrefixRoom;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD got = GetFullPathNameW(path, need, full, nullptr);
    if (got > 0 && got < need) {
        wchar_t *start;
        if (wcsncmp(full, L"\\\\", 2) == 0) {
            start = full + 1 - 7;  // \\server\share -> \\?\UNC\server\share
            wmemcpy(start, L"\\\\?\\UNC", 7);
        } else {
            start = full - 4;  // C:\dir -> \\?\C:\dir
            wmemcpy(start, L"\\\\?\\", 4);
        }
        file = createForReading(start);
    }
    gh_heap_free(buffer);
    return file;
}

#endif

}  // namespace

extern "C" {

#if defined(_WIN32)

int gh_file_stream(const char *path, GhFileSink sink, void *user) {
    if (strlen(path) < MAX_PATH) {
        SECURITY_ATTRIBUTES sa = noInheritance();
        return streamHandle(CreateFileA(path, GENERIC_READ, kShareAll, &sa, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr),
                            sink, user);
    }
    // Past the classic limit only the wide calls take a path: the bytes are
    // read in the code page the ANSI calls would have used.
    UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    int units = MultiByteToWideChar(codePage, 0, path, -1, nullptr, 0);
    if (units <= 0) return GH_FILE_OPEN_FAILED;
    auto *wide = static_cast<wchar_t *>(gh_heap_alloc(static_cast<size_t>(units) * sizeof(wchar_t)));
    if (!wide) return GH_FILE_NO_MEMORY;
    int status = GH_FILE_OPEN_FAILED;
    if (MultiByteToWideChar(codePage, 0, path, -1, wide, units) == units)
        status = streamHandle(openForReading(wide), sink, user);
    gh_heap_free(wide);
    return status;
}

int gh_file_stream_utf16(const uint16_t *path, GhFileSink sink, void *user) {
    return streamHandle(openForReading(reinterpret_cast<const wchar_t *>(path)), sink, user);
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
