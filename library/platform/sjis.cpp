// Shift-JIS <-> UTF-8 through the C library's iconv, one converter per direction, opened once.
#include "platform/sjis.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "zqlib.h"

namespace zq {
namespace {

struct Converters {
    std::mutex lock;
    iconv_t toUtf8 = reinterpret_cast<iconv_t>(-1);
    iconv_t toSjis = reinterpret_cast<iconv_t>(-1);
};

Converters &Shared() {
    static Converters converters;
    return converters;
}

// Runs one conversion, replacing unconvertible or broken input bytes by '?'.
bool Convert(iconv_t &cd, const char *to, const char *from, const char *in, char *out, size_t outSize) {
    if (outSize == 0) return false;
    Converters &shared = Shared();
    std::lock_guard<std::mutex> guard(shared.lock);
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter on this system: pass ASCII through, replace the rest.
        size_t n = 0;
        for (; in[n] && n + 1 < outSize; ++n) out[n] = (static_cast<unsigned char>(in[n]) < 0x80) ? in[n] : '?';
        out[n] = '\0';
        return false;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *src = const_cast<char *>(in);
    size_t srcLeft = std::strlen(in);
    char *dst = out;
    size_t dstLeft = outSize - 1;
    bool exact = true;
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG || dstLeft == 0) { exact = false; break; }
        // EILSEQ or EINVAL: skip one input byte and mark it.
        *dst++ = '?';
        --dstLeft;
        ++src;
        --srcLeft;
        exact = false;
    }
    *dst = '\0';
    return exact;
}

}  // namespace

bool SjisToUtf8(const char *in, char *out, size_t outSize) {
    return Convert(Shared().toUtf8, "UTF-8", "CP932", in, out, outSize);
}

bool Utf8ToSjis(const char *in, char *out, size_t outSize) {
    return Convert(Shared().toSjis, "CP932", "UTF-8", in, out, outSize);
}

}  // namespace zq

extern "C" int Utf8ToShiftJis(const char *utf8, char *out, int outSize) {
    if (utf8 == nullptr || out == nullptr || outSize <= 0) return -1;
    return zq::Utf8ToSjis(utf8, out, static_cast<size_t>(outSize)) ? 0 : -1;
}
