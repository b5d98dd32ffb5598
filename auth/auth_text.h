// The byte forms of user names and passwords that the authentication
// messages carry, from code points (the wide build's characters, or the byte
// build's bytes taken as U+0000..U+00FF).
#ifndef GH_AUTH_TEXT_H
#define GH_AUTH_TEXT_H

#include <stddef.h>
#include <stdint.h>

// No byte form: a code point above 0x10FFFF (UTF-16 and UTF-8), or a
// surrogate code (UTF-8).
enum : size_t { AUTH_TEXT_NO_FORM = static_cast<size_t>(-1) };

// UTF-16LE, as NTLM carries every name: code points above U+FFFF as
// surrogate pairs; a surrogate code is written as the unit it is (a Windows
// password may hold one).  Returns the bytes of the form, or
// AUTH_TEXT_NO_FORM.
size_t utf16le_length(const uint32_t *chars, size_t n);
// Writes utf16le_length() bytes; with upper set, each code point is first
// replaced by its simple uppercase capital.  Returns the bytes written.
size_t utf16le_encode(const uint32_t *chars, size_t n, uint8_t *out, bool upper);

// What CRAM-MD5 sends of a user name or password: one byte per character
// when every character lies in U+0000..U+00FF (stored passwords rely on
// it), otherwise UTF-8.  out has room for 4n bytes.  Returns the bytes
// written, or AUTH_TEXT_NO_FORM (nothing is written then).
size_t cram_text_bytes(const uint32_t *chars, size_t n, uint8_t *out);

#endif
