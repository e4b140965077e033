// Conversion between Shift-JIS (code page 932), the library's text encoding, and UTF-8, which the
// host, the source code and the terminal use.
#pragma once

#include <cstddef>

namespace zq {

// Convert a NUL-terminated text into out (always NUL-terminated when outSize > 0). Characters that
// have no counterpart become '?'. Returns false when the text had to be cut or altered.
bool SjisToUtf8(const char *in, char *out, size_t outSize);
bool Utf8ToSjis(const char *in, char *out, size_t outSize);

// The first byte of a Shift-JIS double-byte character: 0x81..0x9F and 0xE0..0xFC.
constexpr bool IsSjisLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace zq
