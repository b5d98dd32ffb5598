// A host whose callbacks do only their work, for timing small calls: it
// answers each request of a call with what the host emulator answered to the
// same request in a recorded call (the parameter count, a number, a text, a
// length, a field kind, a block of the value), and copies out what the
// library sets (the result, a field) into buffers of its own.  Nothing is
// logged, checked or looked up by name; a field written is not read back,
// so every call sees the values of the recorded one.
//
//   ReplayHost host = ReplayHost::record(entry, &slot, emulatorHost);
//   ReplayHost::Current current(host);
//   entry(GH_MSG_CALL, &slot, 0, 0, 0, ReplayHost::callback());
#ifndef GH_BENCH_REPLAY_HOST_H
#define GH_BENCH_REPLAY_HOST_H

#include <stdarg.h>
#include <string.h>

#include <map>
#include <vector>

#include "emulator/host.h"
#include "platform/globalmem.h"

namespace ghbench {

class ReplayHost {
public:
    // The operations one call through the emulator's host made, by operation.
    std::map<int32_t, int> recordedOps;

    // Calls the function once through host (its parameters set), recording
    // every answer.
    static ReplayHost record(GlyphHerderEntry entry, void **slot, ghemu::Host &host) {
        ReplayHost replay;
        replay.width_ = host.build() == ghemu::Build::Wide ? 4 : 1;
        replay.emulator_ = &host;
        {
            Current current(replay);
            ghemu::CurrentHost emulatorCurrent(host);
            entry(GH_MSG_CALL, slot, 0, 0, 0, callback());
        }
        replay.emulator_ = nullptr;
        return replay;
    }

    static HostCallback callback() { return &answer; }

    class Current {
    public:
        explicit Current(ReplayHost &host) : previous_(current()) { current() = &host; }
        ~Current() { current() = previous_; }
        Current(const Current &) = delete;
        Current &operator=(const Current &) = delete;

    private:
        ReplayHost *previous_;
    };

    int resultType() const { return resultType_; }

private:
    struct Answer {
        int32_t op, number, type, count;
        std::vector<uint8_t> bytes;  // what was written, or a block's whole contents
        bool block;
        int32_t returned;
    };

    static ReplayHost *&current() {
        static thread_local ReplayHost *host = nullptr;
        return host;
    }

    static int32_t answer(int32_t op, ...) {
        ReplayHost &h = *current();
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
        default:  // GetFldVal, GetFuncParm
            a = va_arg(ap, int32_t);
            b = va_arg(ap, int32_t);
            c = va_arg(ap, int32_t);
            p = va_arg(ap, void *);
            break;
        }
        va_end(ap);
        return h.emulator_ ? h.recordOne(op, a, b, c, p) : h.replayOne(op, a, b, c, p);
    }

    // Which bytes of a request's buffer are its answer.
    size_t answerBytes(int32_t type, int32_t count, const uint8_t *buffer) const {
        switch (static_cast<int16_t>(type)) {
        case HOST_TYPE_NUMBER: return 8;
        case HOST_TYPE_LENGTH:
        case HOST_TYPE_DATA_LENGTH: return 4;
        case HOST_TYPE_FIELD_NUMBER: return 2;
        case HOST_TYPE_TEXT: {
            size_t n = 0;
            while (static_cast<int32_t>(n) < count && !zeroAt(buffer, n)) ++n;
            return (n + 1) * width_;
        }
        default: return 0;
        }
    }

    bool zeroAt(const uint8_t *chars, size_t i) const {
        if (width_ == 1) return chars[i] == 0;
        uint32_t ch;
        memcpy(&ch, chars + 4 * i, 4);
        return ch == 0;
    }

    int32_t recordOne(int32_t op, int32_t a, int32_t b, int32_t c, void *p) {
        ++recordedOps[op];
        HostCallback forward = ghemu::Host::callback();
        Answer rec{op, a, b, c, {}, false, 0};
        switch (op) {
        case HOST_OP_GET_FLD_REF:
            rec.returned = forward(op, p);
            break;
        case HOST_OP_GET_FLD_INFO: {
            size_t size = width_ == 4 ? PARAM_INFO_SIZE_WIDE : PARAM_INFO_SIZE_BYTE;
            rec.returned = forward(op, p);
            rec.number = get16(static_cast<uint8_t *>(p) + (width_ == 4 ? PARAM_INFO_FIELD_WIDE : PARAM_INFO_FIELD_BYTE));
            rec.bytes.assign(static_cast<uint8_t *>(p), static_cast<uint8_t *>(p) + size);
            break;
        }
        case HOST_OP_GET_PACKAGE_ID:
            rec.returned = forward(op, p);
            memcpy(&function_, p, 4);
            return rec.returned;
        case HOST_OP_SET_FLD_VAL:
            return forward(op, a, b, p);
        case HOST_OP_SET_FLD_NUMBER:
            return forward(op, a, p);
        default:
            rec.returned = forward(op, a, b, c, p);
            if (static_cast<int16_t>(b) == HOST_TYPE_TEXT_BLOCK || static_cast<int16_t>(b) == HOST_TYPE_BINARY_BLOCK) {
                HGLOBAL block;
                memcpy(&block, p, sizeof block);
                const auto *data = static_cast<const uint8_t *>(GlobalLock(block));
                rec.bytes.assign(data, data + GlobalSize(block));
                GlobalUnlock(block);
                rec.block = true;
            } else {
                const auto *out = static_cast<const uint8_t *>(p);
                rec.bytes.assign(out, out + answerBytes(b, c, out));
            }
            break;
        }
        answers_.push_back(rec);
        return rec.returned;
    }

    int32_t replayOne(int32_t op, int32_t a, int32_t b, int32_t c, void *p) {
        switch (op) {
        case HOST_OP_GET_PACKAGE_ID:
            memcpy(p, &function_, 4);
            return 0;
        case HOST_OP_SET_FLD_VAL:
            keep(b, p);
            return 0;
        case HOST_OP_SET_FLD_NUMBER:
            resultType_ = HOST_TYPE_NUMBER;
            memcpy(kept_, p, 8);
            return 0;
        case HOST_OP_GET_FLD_INFO: {
            int16_t field = get16(static_cast<uint8_t *>(p) + (width_ == 4 ? PARAM_INFO_FIELD_WIDE : PARAM_INFO_FIELD_BYTE));
            // Only the kind and the status are the host's to write.
            size_t kind = width_ == 4 ? PARAM_INFO_KIND_WIDE : PARAM_INFO_KIND_BYTE;
            size_t status = width_ == 4 ? PARAM_INFO_STATUS_WIDE : PARAM_INFO_STATUS_BYTE;
            for (const Answer &r : answers_) {
                if (r.op == op && r.number == field) {
                    memcpy(static_cast<uint8_t *>(p) + kind, r.bytes.data() + kind, 2);
                    memcpy(static_cast<uint8_t *>(p) + status, r.bytes.data() + status, 2);
                    return r.returned;
                }
            }
            return 0;
        }
        default:
            for (const Answer &r : answers_) {
                if (r.op != op || r.number != a || r.type != b || r.count != c) continue;
                if (r.block) {
                    HGLOBAL offered;
                    memcpy(&offered, p, sizeof offered);
                    if (offered) GlobalFree(offered);
                    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, r.bytes.size());
                    memcpy(GlobalLock(block), r.bytes.data(), r.bytes.size());
                    GlobalUnlock(block);
                    memcpy(p, &block, sizeof block);
                } else {
                    memcpy(p, r.bytes.data(), r.bytes.size());
                }
                return r.returned;
            }
            return 0;
        }
    }

    // A value set: copied out, as a host keeps it.
    void keep(int32_t type, const void *p) {
        resultType_ = type;
        int16_t t = static_cast<int16_t>(type);
        if (t == HOST_TYPE_NUMBER) {
            memcpy(kept_, p, 8);
        } else if (t == HOST_TYPE_TEXT) {
            const auto *chars = static_cast<const uint8_t *>(p);
            size_t n = 0;
            while (n < kKeepChars && !zeroAt(chars, n)) ++n;
            memcpy(kept_, chars, n * width_);
        } else {
            HGLOBAL block;
            memcpy(&block, p, sizeof block);
            const auto *data = static_cast<const uint8_t *>(GlobalLock(block));
            uint32_t count;
            memcpy(&count, data, 4);
            size_t bytes = static_cast<size_t>(count) * (t == HOST_TYPE_TEXT_BLOCK ? width_ : 1);
            memcpy(kept_, data + 4, bytes < sizeof kept_ ? bytes : sizeof kept_);
            GlobalUnlock(block);
        }
    }

    static int16_t get16(const uint8_t *p) {
        int16_t v;
        memcpy(&v, p, 2);
        return v;
    }

    enum { kKeepChars = 1024 };
    size_t width_ = 4;
    int32_t function_ = 0;
    int resultType_ = -1;
    ghemu::Host *emulator_ = nullptr;
    std::vector<Answer> answers_;
    uint8_t kept_[kKeepChars * 4];
};

}  // namespace ghbench

#endif
