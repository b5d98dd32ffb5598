// Byte forms of names and passwords for the authentication messages.
#include "auth/auth_text.h"

#include "auth/unicode_upper.h"

size_t utf16le_length(const uint32_t *chars, size_t n) {
    size_t bytes = 0;
    for (size_t i = 0; i < n; ++i) {
        if (chars[i] > 0x10FFFF) return AUTH_TEXT_NO_FORM;
        bytes += chars[i] >= 0x10000 ? 4 : 2;
    }
    return bytes;
}

size_t utf16le_encode(const uint32_t *chars, size_t n, uint8_t *out, bool upper) {
    uint8_t *p = out;
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = upper ? unicode_simple_upper(chars[i]) : chars[i];
        if (c >= 0x10000) {
            uint32_t v = c - 0x10000;
            uint32_t high = 0xD800 + (v >> 10), low = 0xDC00 + (v & 0x3FF);
            *p++ = static_cast<uint8_t>(high);
            *p++ = static_cast<uint8_t>(high >> 8);
            *p++ = static_cast<uint8_t>(low);
            *p++ = static_cast<uint8_t>(low >> 8);
        } else {
            *p++ = static_cast<uint8_t>(c);
            *p++ = static_cast<uint8_t>(c >> 8);
        }
    }
    return static_cast<size_t>(p - out);
}

size_t cram_text_bytes(const uint32_t *chars, size_t n, uint8_t *out) {
    bool narrow = true;
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = chars[i];
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return AUTH_TEXT_NO_FORM;
        if (c > 0xFF) narrow = false;
    }
    uint8_t *p = out;
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = chars[i];
        if (narrow || c < 0x80) {
            *p++ = static_cast<uint8_t>(c);
        } else if (c < 0x800) {
            *p++ = static_cast<uint8_t>(0xC0 | c >> 6);
            *p++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *p++ = static_cast<uint8_t>(0xE0 | c >> 12);
            *p++ = static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F));
            *p++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
        } else {
            *p++ = static_cast<uint8_t>(0xF0 | c >> 18);
            *p++ = static_cast<uint8_t>(0x80 | (c >> 12 & 0x3F));
            *p++ = static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F));
            *p++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
        }
    }
    return static_cast<size_t>(p - out);
}
