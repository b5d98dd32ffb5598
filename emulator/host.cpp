// The emulated host's callback and the operations it serves.
#include "emulator/host.h"

#include <cstdarg>
#include <cstring>
#include <exception>
#include <iterator>

#include "emulator/system.h"
#include "platform/globalmem.h"

namespace ghemu {

namespace {

thread_local Host *tCurrentHost = nullptr;

int16_t get16(const void *p) {
    int16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void put16(void *p, int16_t v) { std::memcpy(p, &v, sizeof v); }

// A value seen as the characters a host hands out for it, without a copy:
// a text's codes (in whichever form it is held), a number's formatted text,
// a binary value's bytes as one character each.
class CharView {
public:
    explicit CharView(const Value &v) {
        switch (v.kind) {
        case ValueKind::Text:
            if (v.textInBytes()) {
                bytes_ = v.byteCodes().data();
            } else {
                wide_ = v.wideCodes().data();
            }
            size_ = v.textLength();
            break;
        case ValueKind::Binary:
            bytes_ = v.bytes.data();
            size_ = v.bytes.size();
            break;
        case ValueKind::Number:
            formatted_ = formatNumber(v.number);
            bytes_ = reinterpret_cast<const uint8_t *>(formatted_.data());
            size_ = formatted_.size();
            break;
        }
    }
    CharView(const CharView &) = delete;
    CharView &operator=(const CharView &) = delete;

    size_t size() const { return size_; }

    // The first n characters as the build's elements: 32-bit codes, or
    // bytes (a code's low 8 bits).
    void writeChars(uint8_t *out, size_t n, Build build) const {
        if (!n) return;
        if (build == Build::Wide) {
            static_assert(sizeof(char32_t) == 4, "a wide character is 32 bits");
            if (wide_) {
                std::memcpy(out, wide_, 4 * n);
            } else {
                for (size_t i = 0; i < n; ++i) {
                    uint32_t c = bytes_[i];
                    std::memcpy(out + 4 * i, &c, 4);
                }
            }
        } else if (bytes_) {
            std::memcpy(out, bytes_, n);
        } else {
            for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(wide_[i]);
        }
    }

    // The byte form (wide build: codes up to 0xFF as one byte, higher ones
    // in the multi-byte forms of UTF-8; byte build: the bytes): its length,
    // and writing it.
    size_t byteFormLength(Build build) const {
        if (bytes_ || build == Build::Byte) return size_;
        size_t n = 0;
        for (size_t i = 0; i < size_; ++i) n += ghemu::byteFormLength(wide_[i]);
        return n;
    }
    void writeByteForm(uint8_t *out, Build build) const {
        if (bytes_) {
            if (size_) std::memcpy(out, bytes_, size_);
        } else if (build == Build::Byte) {
            for (size_t i = 0; i < size_; ++i) out[i] = static_cast<uint8_t>(wide_[i]);
        } else {
            for (size_t i = 0; i < size_; ++i) out = putByteForm(out, wide_[i]);
        }
    }

private:
    const char32_t *wide_ = nullptr;
    const uint8_t *bytes_ = nullptr;
    size_t size_ = 0;
    std::string formatted_;
};

// 32-bit codes read one at a time from the library's memory (which may be
// unaligned and has no type the host may assume), so that a string is built
// from them in one pass.
struct CodeReader {
    using iterator_category = std::forward_iterator_tag;
    using value_type = char32_t;
    using difference_type = std::ptrdiff_t;
    using pointer = const char32_t *;
    using reference = char32_t;

    const uint8_t *p = nullptr;

    char32_t operator*() const {
        uint32_t c;
        std::memcpy(&c, p, 4);
        return c;
    }
    CodeReader &operator++() {
        p += 4;
        return *this;
    }
    CodeReader operator++(int) {
        CodeReader old = *this;
        p += 4;
        return old;
    }
    bool operator==(const CodeReader &o) const { return p == o.p; }
    bool operator!=(const CodeReader &o) const { return p != o.p; }
};

// n characters of the build at p, copied once into a text of the build's form.
Value textFromElements(const uint8_t *p, size_t n, Build build) {
    if (build == Build::Byte) return Value::ofByteText(std::vector<uint8_t>(p, p + n));
    return Value::ofText(std::u32string(CodeReader{p}, CodeReader{p + 4 * n}));
}

int32_t GH_CALLBACK_CALL hostCallback(int32_t op, ...) {
    Host *host = tCurrentHost;
    int32_t a = 0, b = 0, c = 0;
    void *p = nullptr;
    va_list ap;
    va_start(ap, op);
    switch (op) {
    case HOST_OP_GET_FLD_REF:
    case HOST_OP_GET_FLD_INFO:
    case HOST_OP_GET_PACKAGE_ID:
        p = va_arg(ap, void *);
        break;
    case HOST_OP_SET_FLD_VAL:
        a = va_arg(ap, int32_t);
        b = va_arg(ap, int32_t);
        p = va_arg(ap, void *);
        break;
    case HOST_OP_SET_FLD_NUMBER:
        a = va_arg(ap, int32_t);
        p = va_arg(ap, void *);
        break;
    case HOST_OP_GET_FLD_VAL:
    case HOST_OP_GET_FUNC_PARM:
        a = va_arg(ap, int32_t);
        b = va_arg(ap, int32_t);
        c = va_arg(ap, int32_t);
        p = va_arg(ap, void *);
        break;
    default:
        break;  // unknown: its arguments are not read
    }
    va_end(ap);
    if (!host) return 0;
    // Nothing may be thrown back into the library.
    try {
        return host->operation(op, a, b, c, p);
    } catch (const std::exception &e) {
        host->noteProblem(std::string("the host failed in operation ") + std::to_string(op) + ": " + e.what());
    } catch (...) {
        host->noteProblem("the host failed in operation " + std::to_string(op));
    }
    return 0;
}

}  // namespace

std::string OpEntry::describe() const {
    std::string s = "op " + std::to_string(op);
    switch (op) {
    case HOST_OP_GET_FLD_REF:
        return s + " GetFldRef \"" + name + "\"";
    case HOST_OP_SET_FLD_VAL:
        return s + " SetFldVal target " + std::to_string(number) + " type " + std::to_string(type);
    case HOST_OP_SET_FLD_NUMBER:
        return s + " SetFldInt/Long target " + std::to_string(number);
    case HOST_OP_GET_FLD_VAL:
        return s + " GetFldVal field " + std::to_string(number) + " type " + std::to_string(type) +
               " count " + std::to_string(count);
    case HOST_OP_GET_FLD_INFO:
        return s + " GetFldInfo field " + std::to_string(number);
    case HOST_OP_GET_PACKAGE_ID:
        return s + " GetPackageId";
    case HOST_OP_GET_FUNC_PARM:
        return s + " GetFuncParm " + std::to_string(number) + " type " + std::to_string(type) +
               " count " + std::to_string(count);
    default:
        return s + " (unknown)";
    }
}

Host::Host(Build build) : build_(build) {}

HostCallback Host::callback() { return &hostCallback; }

CurrentHost::CurrentHost(Host &host) : previous_(tCurrentHost) { tCurrentHost = &host; }
CurrentHost::~CurrentHost() { tCurrentHost = previous_; }

void Host::setParams(std::vector<Param> params) {
    params_ = std::move(params);
    for (Param &p : params_) p.value.adoptForm(build_);
    paramByteLengths_.assign(params_.size(), SIZE_MAX);
}

int16_t Host::setField(const std::u32string &name, Value value) {
    value.adoptForm(build_);
    for (Field &f : fields_) {
        if (f.name == name) {
            f.value = std::move(value);
            return f.ref;
        }
    }
    auto ref = static_cast<int16_t>(FIRST_FIELD_REFERENCE + fields_.size());
    fields_.push_back(Field{name, std::move(value), ref, false});
    return ref;
}

const Value *Host::field(const std::u32string &name) const {
    for (const Field &f : fields_) {
        if (f.name == name) return &f.value;
    }
    return nullptr;
}

std::vector<std::u32string> Host::changedFields() const {
    std::vector<std::u32string> names;
    for (const Field &f : fields_) {
        if (f.changed) names.push_back(f.name);
    }
    return names;
}

void Host::clearFields() { fields_.clear(); }

void Host::beginCall() {
    result_ = Result::none();
    log_.clear();
    problems_.clear();
    for (Field &f : fields_) f.changed = false;
}

size_t Host::count(int32_t op) const {
    size_t n = 0;
    for (const OpEntry &e : log_) n += e.op == op;
    return n;
}

void Host::noteProblem(std::string what) { problems_.push_back(std::move(what)); }

Host::Field *Host::fieldByRef(int32_t ref) {
    for (Field &f : fields_) {
        if (f.ref == static_cast<int16_t>(ref)) return &f;
    }
    return nullptr;
}

int32_t Host::paramCountValue() const {
    return paramCount_ ? *paramCount_ : static_cast<int32_t>(params_.size());
}

const Value *Host::paramValue(int32_t number) const {
    int32_t index = number - HOST_PARAM_FIRST;
    if (index < 0 || (index >= paramCountValue() && !mistakes_.uncountedParams) ||
        static_cast<size_t>(index) >= params_.size()) {
        return nullptr;
    }
    return &params_[static_cast<size_t>(index)].value;
}

std::optional<int16_t> Host::paramFieldNumber(int32_t number) const {
    size_t index = static_cast<size_t>(number - HOST_PARAM_FIRST);
    const Param &param = params_[index];
    if (param.fieldNumber) return param.fieldNumber;
    return static_cast<int16_t>(FIRST_PARAM_FIELD_NUMBER + index);
}

int32_t Host::operation(int32_t op, int32_t a, int32_t b, int32_t c, void *p) {
    OpEntry entry;
    entry.op = op;
    entry.number = a;
    entry.type = b;
    entry.count = c;
    switch (op) {
    case HOST_OP_GET_FLD_REF: {
        int32_t ref = getFldRef(p);  // fills the name into the log itself
        return ref;
    }
    case HOST_OP_GET_FLD_INFO:
        getFldInfo(p);
        return 0;
    case HOST_OP_GET_PACKAGE_ID:
        log_.push_back(entry);
        if (!p) {
            noteProblem("GetPackageId without an address");
        } else {
            std::memcpy(p, &functionNumber_, sizeof functionNumber_);
        }
        return 0;
    case HOST_OP_GET_FUNC_PARM: {
        log_.push_back(entry);
        int16_t number = static_cast<int16_t>(a);
        if (number == HOST_PARAM_COUNT) {
            fetch(Value::ofNumber(paramCountValue()), 0, b, c, p);
        } else if (const Value *v = paramValue(number)) {
            fetch(*v, *paramFieldNumber(number), b, c, p,
                  &paramByteLengths_[static_cast<size_t>(number - HOST_PARAM_FIRST)]);
        }
        // Any other number: nothing is written; the library sees its preset.
        return 0;
    }
    case HOST_OP_GET_FLD_VAL: {
        log_.push_back(entry);
        Field *f = fieldByRef(a);
        if (!f) {
            noteProblem("GetFldVal of field reference " + std::to_string(a) + ", which the host never gave");
        } else {
            fetch(f->value, 0, b, c, p);
        }
        return 0;
    }
    case HOST_OP_SET_FLD_VAL: {
        log_.push_back(entry);
        if (auto v = readSetValue(b, p)) store(a, b, std::move(*v));
        return 0;
    }
    case HOST_OP_SET_FLD_NUMBER: {
        entry.type = HOST_TYPE_NUMBER;
        log_.push_back(entry);
        if (!p) {
            noteProblem("operation 31 without a number");
        } else {
            double n;
            std::memcpy(&n, p, sizeof n);
            store(a, HOST_TYPE_NUMBER, Value::ofNumber(n));
        }
        return 0;
    }
    default:
        log_.push_back(entry);
        noteProblem("unknown host operation " + std::to_string(op));
        return 0;
    }
}

int32_t Host::getFldRef(const void *counted) {
    OpEntry entry;
    entry.op = HOST_OP_GET_FLD_REF;
    if (!counted) {
        log_.push_back(entry);
        noteProblem("GetFldRef without a name");
        return 0;
    }
    size_t width = static_cast<size_t>(charWidth(build_));
    auto element = [&](size_t i) -> uint32_t {
        const auto *bytes = static_cast<const uint8_t *>(counted) + i * width;
        if (width == 1) return bytes[0];
        uint32_t c;
        std::memcpy(&c, bytes, 4);
        return c;
    };
    uint32_t count = element(0);
    if (count > 255) {
        noteProblem("GetFldRef with a count of " + std::to_string(count) + " (at most 255)");
        count = 255;
    }
    std::u32string name;
    for (size_t i = 1; i <= count; ++i) name.push_back(element(i));
    entry.name = textToUtf8(name, build_);
    log_.push_back(entry);
    for (const Field &f : fields_) {
        if (f.name == name) return f.ref;
    }
    return 0;
}

void Host::getFldInfo(void *record) {
    OpEntry entry;
    entry.op = HOST_OP_GET_FLD_INFO;
    if (!record) {
        log_.push_back(entry);
        noteProblem("GetFldInfo without a record");
        return;
    }
    bool wide = build_ == Build::Wide;
    auto *bytes = static_cast<uint8_t *>(record);
    int16_t number = get16(bytes + (wide ? PARAM_INFO_FIELD_WIDE : PARAM_INFO_FIELD_BYTE));
    entry.number = number;
    log_.push_back(entry);
    // The kind is what request 2 asks, of a record whose name is empty.
    int16_t request = get16(bytes + (wide ? PARAM_INFO_REQUEST_WIDE : PARAM_INFO_REQUEST_BYTE));
    uint32_t nameLength = bytes[PARAM_INFO_NAME_LENGTH_BYTE];
    if (wide) std::memcpy(&nameLength, bytes + PARAM_INFO_NAME_LENGTH_WIDE, 4);
    if (request != 2 || nameLength != 0) {
        noteProblem("GetFldInfo with request " + std::to_string(request) + " and a name of length " +
                    std::to_string(nameLength) + " (the kind is asked with 2 and no name)");
        return;
    }
    std::optional<int16_t> kind;
    int32_t count = paramCountValue();
    for (size_t i = 0; i < params_.size() && (static_cast<int32_t>(i) < count || mistakes_.uncountedParams); ++i) {
        if (*paramFieldNumber(HOST_PARAM_FIRST + static_cast<int32_t>(i)) == number) {
            const Param &param = params_[i];
            kind = param.kind ? *param.kind : static_cast<int16_t>(param.value.isBinary() ? 15 : 0);
            break;
        }
    }
    if (!kind) {
        auto it = extraKinds_.find(number);
        if (it != extraKinds_.end()) kind = it->second;
    }
    if (!kind) return;  // an unknown field number: the status stays as it was
    put16(bytes + (wide ? PARAM_INFO_KIND_WIDE : PARAM_INFO_KIND_BYTE), *kind);
    put16(bytes + (wide ? PARAM_INFO_STATUS_WIDE : PARAM_INFO_STATUS_BYTE), 1);
}

void Host::fetch(const Value &v, int16_t fieldNumber, int32_t type, int32_t count, void *buffer,
                 size_t *byteLength) {
    // Problems are described only when there is one.
    auto where = [&] { return "a fetch of type " + std::to_string(type) + " with count " + std::to_string(count); };
    if (!buffer) {
        noteProblem(where() + " without a buffer");
        return;
    }
    auto bytesOf = [&](const CharView &chars) {
        if (!byteLength) return chars.byteFormLength(build_);
        if (*byteLength == SIZE_MAX) *byteLength = chars.byteFormLength(build_);
        return *byteLength;
    };
    switch (static_cast<int16_t>(type)) {
    case HOST_TYPE_NUMBER: {
        if (count != 8 && count != 64) {
            noteProblem(where() + " (a number takes count 8 or 64)");
            return;
        }
        double n = valueAsNumber(v);
        std::memcpy(buffer, &n, sizeof n);
        return;
    }
    case HOST_TYPE_TEXT: {
        if (count < 0) {
            noteProblem(where() + " (negative count)");
            return;
        }
        CharView chars(v);
        size_t n = chars.size() < static_cast<size_t>(count) ? chars.size() : static_cast<size_t>(count);
        auto *out = static_cast<uint8_t *>(buffer);
        size_t width = static_cast<size_t>(charWidth(build_));
        chars.writeChars(out, n, build_);
        std::memset(out + n * width, 0, width);
        return;
    }
    case HOST_TYPE_LENGTH:
    case HOST_TYPE_DATA_LENGTH: {
        if (count != 4) {
            noteProblem(where() + " (a length takes count 4)");
            return;
        }
        CharView chars(v);
        size_t length = static_cast<int16_t>(type) == HOST_TYPE_LENGTH ? chars.size() : bytesOf(chars);
        int32_t n = length > INT32_MAX ? INT32_MAX : static_cast<int32_t>(length);
        std::memcpy(buffer, &n, sizeof n);
        return;
    }
    case HOST_TYPE_FIELD_NUMBER:
        if (count != 2) {
            noteProblem(where() + " (a field number takes count 2)");
            return;
        }
        put16(buffer, fieldNumber);
        return;
    case HOST_TYPE_TEXT_BLOCK: {
        if (count != 0) noteProblem(where() + " (a block takes count 0)");
        CharView chars(v);
        size_t n = chars.size();
        deliverBlock(buffer, static_cast<uint32_t>(n), n * static_cast<size_t>(charWidth(build_)),
                     [&](uint8_t *data) { chars.writeChars(data, n, build_); });
        return;
    }
    case HOST_TYPE_BINARY_BLOCK: {
        if (count != 0) noteProblem(where() + " (a block takes count 0)");
        CharView chars(v);
        size_t n = bytesOf(chars);
        deliverBlock(buffer, static_cast<uint32_t>(n), n, [&](uint8_t *data) { chars.writeByteForm(data, build_); });
        return;
    }
    default:
        noteProblem(where() + ": no such type");
        return;
    }
}

template <class Write>
void Host::deliverBlock(void *slot, uint32_t count, size_t bytes, Write write) {
    HGLOBAL handle;
    std::memcpy(&handle, slot, sizeof handle);
    PausedInjection paused;  // only the library's allocations may fail
    SIZE_T size = 4 + bytes;
    if (handle) {
        // The library's block is filled: resized, which may give a new handle.
        HGLOBAL resized = GlobalReAlloc(handle, size, GMEM_MOVEABLE);
        if (!resized) {
            noteProblem("the host could not resize the block the library offered");
            return;
        }
        handle = resized;
    } else {
        handle = GlobalAlloc(GMEM_MOVEABLE, size);
        if (!handle) throw std::bad_alloc();
    }
    auto *p = static_cast<uint8_t *>(GlobalLock(handle));
    uint32_t stated = count + (mistakes_.overstatedCounts ? 1 : 0);
    std::memcpy(p, &stated, 4);
    write(p + 4);
    GlobalUnlock(handle);
    std::memcpy(slot, &handle, sizeof handle);
}

std::optional<Value> Host::readSetValue(int32_t type, const void *address) {
    auto what = [&] { return "SetFldVal of type " + std::to_string(static_cast<int16_t>(type)); };
    if (!address) {
        noteProblem(what() + " without a value");
        return std::nullopt;
    }
    size_t width = static_cast<size_t>(charWidth(build_));
    switch (static_cast<int16_t>(type)) {
    case HOST_TYPE_NUMBER: {
        double n;
        std::memcpy(&n, address, sizeof n);
        return Value::ofNumber(n);
    }
    case HOST_TYPE_TEXT: {
        // Up to the zero character, then copied once.
        const auto *bytes = static_cast<const uint8_t *>(address);
        size_t n = 0;
        if (width == 1) {
            n = std::strlen(reinterpret_cast<const char *>(bytes));
        } else {
            for (uint32_t c = 1;; ++n) {
                std::memcpy(&c, bytes + 4 * n, 4);
                if (!c) break;
            }
        }
        return textFromElements(bytes, n, build_);
    }
    case HOST_TYPE_TEXT_BLOCK:
    case HOST_TYPE_BINARY_BLOCK: {
        bool text = static_cast<int16_t>(type) == HOST_TYPE_TEXT_BLOCK;
        size_t element = text ? width : 1;
        HGLOBAL handle;
        std::memcpy(&handle, address, sizeof handle);
        if (!handle) {
            noteProblem(what() + " with a null handle");
            return std::nullopt;
        }
        SIZE_T size = GlobalSize(handle);
        const auto *p = static_cast<const uint8_t *>(GlobalLock(handle));
        if (!p || size < 4) {
            if (p) GlobalUnlock(handle);
            noteProblem(what() + " with a handle that is not a block of at least 4 bytes");
            return std::nullopt;
        }
        uint32_t count;
        std::memcpy(&count, p, 4);
        size_t room = (size - 4) / element;
        if (count > room) {
            noteProblem(what() + ": the block's count " + std::to_string(count) + " exceeds its " +
                        std::to_string(room) + " elements");
            count = static_cast<uint32_t>(room);
        }
        Value v = text ? textFromElements(p + 4, count, build_)
                       : Value::ofBinary(std::vector<uint8_t>(p + 4, p + 4 + count));
        GlobalUnlock(handle);
        return v;
    }
    default:
        noteProblem(what() + ": a value of that type cannot be set");
        return std::nullopt;
    }
}

void Host::store(int32_t target, int32_t type, Value v) {
    if (static_cast<int16_t>(target) == HOST_RESULT) {
        result_ = Result::of(static_cast<int16_t>(type), std::move(v));
        return;
    }
    if (Field *f = fieldByRef(target)) {
        f->value = std::move(v);
        f->changed = true;
        return;
    }
    noteProblem("a value set on " + std::to_string(target) + ", which is neither the result nor a field");
}

}  // namespace ghemu
