// A copy of a text that ends where readable memory ends: the page after its
// last character may not be touched, so a scan that reads past its text
// faults in every build, not only under AddressSanitizer.
#ifndef GH_TESTS_SUPPORT_GUARDED_H
#define GH_TESTS_SUPPORT_GUARDED_H

#include <stddef.h>

#include <algorithm>
#include <new>

#if defined(_WIN32)
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  define WIN32_LEAN_AND_MEAN
#  include <windows.h>
#else
#  include <sys/mman.h>
#  include <unistd.h>
#endif

template <class C>
class Guarded {
public:
    C *start;  // the buffer: `before` characters, then the text
    C *p;      // the text

    template <class T>
    explicit Guarded(const T &text, size_t before = 0) {
        size_t bytes = (before + text.size()) * sizeof(C);
#if defined(_WIN32)
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const size_t page = info.dwPageSize;
        size_ = (bytes + page - 1) / page * page + page;
        base_ = static_cast<char *>(VirtualAlloc(nullptr, size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD was;
        if (!base_ || !VirtualProtect(base_ + size_ - page, page, PAGE_NOACCESS, &was)) throw std::bad_alloc();
#else
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        size_ = (bytes + page - 1) / page * page + page;
        void *m = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED) throw std::bad_alloc();
        base_ = static_cast<char *>(m);
        mprotect(base_ + size_ - page, page, PROT_NONE);
#endif
        start = reinterpret_cast<C *>(base_ + size_ - page - bytes);
        p = start + before;
        std::copy(text.begin(), text.end(), p);
    }
    ~Guarded() {
#if defined(_WIN32)
        VirtualFree(base_, 0, MEM_RELEASE);
#else
        munmap(base_, size_);
#endif
    }
    Guarded(const Guarded &) = delete;
    Guarded &operator=(const Guarded &) = delete;

private:
    char *base_;
    size_t size_;
};

#endif
