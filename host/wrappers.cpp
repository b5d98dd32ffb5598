// The library's wrappers on the host operations.
#include "host/wrappers.h"

#include <math.h>
#include <string.h>

#include "host/block_size.h"
#include "host/chars.h"
#include "platform/platform.h"

namespace {

// 16-bit operands travel sign-extended.
inline int32_t wide16(int v) { return static_cast<int16_t>(v); }

inline void put16(unsigned char *p, int16_t v) { memcpy(p, &v, sizeof v); }
inline int16_t get16(const unsigned char *p) {
    int16_t v;
    memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

int32_t GetFuncParm(int paramNumber, int type, int32_t count, void *buffer, HostCallback cb) {
    return cb(HOST_OP_GET_FUNC_PARM, wide16(paramNumber), wide16(type), count, buffer);
}

bool GetFuncParmBlock(int paramNumber, int type, XPHandle *slot, HostCallback cb) {
    GetFuncParm(paramNumber, type, 0, slot, cb);
    // Reading or writing the count of a smaller block would leave it.
    if (*slot && GetXPHandleSize(*slot) < MEMBLOCK_HEADER) {
        DisposeXPHandle(*slot);
        *slot = nullptr;
        return false;
    }
    return true;
}

int32_t GetFuncParmInt2(int paramNumber, HostCallback cb) {
    double value = 0;
    GetFuncParm(paramNumber, HOST_TYPE_NUMBER, 8, &value, cb);
    // Truncation toward zero; anything it cannot express (NaN included,
    // which fails both comparisons) gives the most negative integer.
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(value);
}

void getAsciiStringFuncParm(int paramNumber, int max, uint8_t *out, HostCallback cb) {
    if (max < 0) max = 0;
#if GH_WIDE
    int32_t length = 0;
    GetFuncParm(paramNumber, HOST_TYPE_LENGTH, 4, &length, cb);
    if (length > max) length = max;
    if (length < 0) length = 0;
    qchar *buffer = static_cast<qchar *>(gh_heap_alloc((static_cast<size_t>(length) + 2) * sizeof(qchar)));
    if (!buffer) {
        out[0] = 0;
        return;
    }
    buffer[0] = 0;
    // Count length, not length + 1: a host writes up to count characters, and
    // the caller wants at most max (as the byte build gives).
    GetFuncParm(paramNumber, HOST_TYPE_TEXT, length, buffer, cb);
    buffer[length + 1] = 0;  // a host that does not terminate cannot run us off the end
    CHRtruncateQcharStringToAscii(buffer, out, true);
    gh_heap_free(buffer);
#else
    out[0] = 0;
    GetFuncParm(paramNumber, HOST_TYPE_TEXT, max, out, cb);
    out[max] = 0;
#endif
}

int16_t GetParamFieldNumber(int paramNumber, HostCallback cb) {
    int16_t field = 0;
    GetFuncParm(paramNumber, HOST_TYPE_FIELD_NUMBER, 2, &field, cb);
    return field;
}

bool IsBinaryField(int16_t fieldNumber, HostCallback cb) {
    if (fieldNumber < 0) return true;
    int kind = FieldKind(fieldNumber, cb);
    return kind == HOST_KIND_BINARY_15 || kind == HOST_KIND_BINARY_14 || kind == HOST_KIND_BINARY_16;
}

bool getBinOrAsciiHandle(int paramNumber, XPHandle *handle, uint32_t *length, bool *isBinary,
                         HostCallback cb) {
    if (paramNumber == 0 || !handle || !length || !isBinary) return false;
    *handle = nullptr;
    *length = 0;
    *isBinary = false;

    bool binary = IsBinaryField(GetParamFieldNumber(paramNumber, cb), cb);
    XPHandle block = nullptr;
    GetFuncParmBlock(paramNumber, binary ? HOST_TYPE_BINARY_BLOCK : HOST_TYPE_TEXT_BLOCK, &block, cb);
    if (!block) return false;
    if (!binary && !convertQHStrToAsciiHStr(&block)) {
        DisposeXPHandle(block);
        return false;
    }
    void *p = LockXPHandle(block);
    if (!p) {
        DisposeXPHandle(block);
        return false;
    }
    uint32_t n = MemBlockCheckedCount(block, p, 1);
    SetMemBlockCount(p, n);  // from here on the count can be trusted
    UnlockXPHandle(block);
    *handle = block;
    *length = n;
    *isBinary = binary;
    return true;
}

int32_t GetFldRef(const qchar *name, HostCallback cb) {
    qchar counted[COUNTED_TEXT_ELEMENTS];
    sthandle(name, counted);
    return cb(HOST_OP_GET_FLD_REF, counted);
}

int32_t GetFldVal(int fieldRef, int type, int32_t count, void *buffer, HostCallback cb) {
    return cb(HOST_OP_GET_FLD_VAL, wide16(fieldRef), wide16(type), count, buffer);
}

int16_t GetFldInfo(ParamInfoRecord *record, HostCallback cb) {
    cb(HOST_OP_GET_FLD_INFO, record);
    return get16(record->bytes + PARAM_INFO_STATUS);
}

int FieldKind(int fieldNumber, HostCallback cb) {
    ParamInfoRecord record;
    memset(&record, 0, sizeof record);  // name length 0, kind 0, status 0
    put16(record.bytes + PARAM_INFO_FIELD, static_cast<int16_t>(fieldNumber));
    put16(record.bytes + PARAM_INFO_REQUEST, 2);
    int16_t status = GetFldInfo(&record, cb);
    return status == 1 ? get16(record.bytes + PARAM_INFO_KIND) : -1;
}

bool IsThisFieldType(int fieldNumber, int kind, HostCallback cb) {
    return FieldKind(fieldNumber, cb) == static_cast<int16_t>(kind);
}

int32_t GetPackageId(HostCallback cb) {
    int32_t id = 0;
    cb(HOST_OP_GET_PACKAGE_ID, &id);
    return id;
}

int32_t SetFldVal(int target, int type, const void *valueAddress, HostCallback cb) {
    return cb(HOST_OP_SET_FLD_VAL, wide16(target), wide16(type), valueAddress);
}

void SetFldInt(int target, int16_t value, HostCallback cb) {
    double real = value;
    cb(HOST_OP_SET_FLD_NUMBER, wide16(target), &real);
}

void SetFldLong(int target, int32_t value, HostCallback cb) {
    double real = value;
    cb(HOST_OP_SET_FLD_NUMBER, wide16(target), &real);
}

void setStringField(int target, const uint8_t *text, HostCallback cb) {
#if GH_WIDE
    size_t length = strlen(reinterpret_cast<const char *>(text));
    // A short text (most results) is widened on the stack, with no
    // allocation that could fail.
    qchar small[256];
    if (length + 2 <= sizeof small / sizeof small[0]) {
        CHRcopyAsciiStringToQchar(text, small, true);
        SetFldVal(target, HOST_TYPE_TEXT, small, cb);
        return;
    }
    // Sized in 64 bits: on a 32-bit system four bytes a character of a text
    // above 1 GiB would wrap to a tiny buffer.  Such a size counts as a
    // failed allocation.
    uint64_t size = (static_cast<uint64_t>(length) + 2) * sizeof(qchar);
    qchar *chars = size <= SIZE_MAX ? static_cast<qchar *>(gh_heap_alloc(static_cast<size_t>(size))) : nullptr;
    if (!chars) {
        qchar empty[1] = {0};
        SetFldVal(target, HOST_TYPE_TEXT, empty, cb);
        return;
    }
    CHRcopyAsciiStringToQchar(text, chars, true);
    SetFldVal(target, HOST_TYPE_TEXT, chars, cb);
    gh_heap_free(chars);
#else
    SetFldVal(target, HOST_TYPE_TEXT, text, cb);
#endif
}

void setStringHandleField(int target, XPHandle bytes, HostCallback cb) {
#if GH_WIDE
    // Widened straight from the caller's block into a new block of
    // characters: the caller's block is only read.  If that cannot be done,
    // the result is the empty text rather than whatever the host held before.
    XPHandle chars = nullptr;
    void *src = LockXPHandle(bytes);
    if (src) {
        uint32_t n = MemBlockCheckedCount(bytes, src, 1);
        uint64_t size = MemBlockSize(n, sizeof(qchar), 1);  // and a zero character
        chars = size ? NewXPHandle(static_cast<int64_t>(size)) : nullptr;
        void *dst = chars ? LockXPHandle(chars) : nullptr;
        if (dst) {
            SetMemBlockCount(dst, n);
            CHRcopyAsciiDataToQchar(MemBlockBytes(src), n, MemBlockChars(dst));
            MemBlockChars(dst)[n] = 0;
            UnlockXPHandle(chars);
        } else {
            DisposeXPHandle(chars);
            chars = nullptr;
        }
        UnlockXPHandle(bytes);
    }
    if (chars) {
        SetFldVal(target, HOST_TYPE_TEXT_BLOCK, &chars, cb);
        DisposeXPHandle(chars);
    } else {
        qchar empty[1] = {0};
        SetFldVal(target, HOST_TYPE_TEXT, empty, cb);
    }
#else
    SetFldVal(target, HOST_TYPE_TEXT_BLOCK, &bytes, cb);
#endif
}
