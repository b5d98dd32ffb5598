// Every kernel of the library (kernel_list.h).
#include "library/kernel_list.h"

#include <stdio.h>
#include <string.h>

#include "cipher/blowfish_kernels.h"
#include "digest/digest_paths.h"
#include "encoding/base64_codec.h"
#include "platform/charcodec_kernels.h"
#include "encoding/crc16_kernels.h"
#include "text/scan_kernels.h"

#define GH_SCANS(w)                                                                                     \
    &gScanKernels##w[TEXT_SCAN_FIND_CHAR], &gScanKernels##w[TEXT_SCAN_FIND_EITHER],                     \
        &gScanKernels##w[TEXT_SCAN_FIND_LAST_CHAR], &gScanKernels##w[TEXT_SCAN_FIND_LAST_AT_MOST],      \
        &gScanKernels##w[TEXT_SCAN_COUNT_CHAR], &gScanKernels##w[TEXT_SCAN_COPY_WITHOUT],               \
        &gScanKernels##w[TEXT_SCAN_COPY_KEPT], &gScanKernels##w[TEXT_SCAN_FIND_PAIR],                   \
        &gScanKernels##w[TEXT_SCAN_COPY_BREAKS], &gScanKernels##w[TEXT_SCAN_MARK_CHARS]

Kernel *const kAllKernels[] = {
    &gSha1Kernel,
    &gSha256Kernel,
    &gSha512Kernel,
    &gBase64EncodeKernel,
    &gBase64DecodeKernel,
    &gCharCodecKernels[CHARCODEC_ENCODED_LENGTH],
    &gCharCodecKernels[CHARCODEC_ENCODE],
    &gCharCodecKernels[CHARCODEC_WIDEN],
    &gCharCodecKernels[CHARCODEC_NARROW_LOW8],
    &gCrc16XmodemKernel,
    &gCrc16X25Kernel,
    &gBlowfishEncryptKernel,
    &gBlowfishDecryptKernel,
    GH_SCANS(8),
    GH_SCANS(32),
};
#undef GH_SCANS

const int kAllKernelCount = static_cast<int>(sizeof kAllKernels / sizeof kAllKernels[0]);

Kernel *gh_find_kernel(const char *name) {
    for (Kernel *k : kAllKernels) {
        if (strcmp(k->name, name) == 0) return k;
    }
    return nullptr;
}

size_t gh_kernel_force_problems(char *out, size_t size) {
    size_t used = 0;
    if (size) out[0] = 0;
    auto add = [&](const char *line) {
        size_t n = strlen(line);
        if (used + n + 2 > size) return;
        memcpy(out + used, line, n);
        out[used + n] = '\n';
        used += n + 1;
        out[used] = 0;
    };
    char line[256];
    // Entries no kernel claims.
    const char *cursor = nullptr;
    KernelForceEntry e;
    while (gh_kernel_force_next(&cursor, &e)) {
        char name[64];
        size_t n = e.kernelLength < sizeof name - 1 ? e.kernelLength : sizeof name - 1;
        memcpy(name, e.kernel, n);
        name[n] = 0;
        int pathLength = static_cast<int>(e.pathLength < 64 ? e.pathLength : 64);
        if (!e.pathLength) {
            snprintf(line, sizeof line, "GH_FORCE_PATH=%s: not kernel:path", name);
            add(line);
        } else if (!gh_find_kernel(name)) {
            snprintf(line, sizeof line, "GH_FORCE_PATH=%s:%.*s: no kernel is named %s", name, pathLength, e.path, name);
            add(line);
        }
    }
    // And what the kernels refused.
    for (Kernel *k : kAllKernels) {
        gh_kernel_refusal(k, line, sizeof line);
        if (line[0]) add(line);
    }
    return used;
}
