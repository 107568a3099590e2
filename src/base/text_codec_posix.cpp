#include "base/text_codec.h"

#include <iconv.h>

#include <cerrno>

namespace qv {
namespace {

// The native build stands in for a Windows whose ANSI code page is 936.
constexpr const char* kAnsiCharset = "CP936";

std::string Convert(std::string_view in, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    std::string out;
    out.resize(in.size() * 4 + 4);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    while (srcLeft > 0) {
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            size_t used = static_cast<size_t>(dst - out.data());
            out.resize(out.size() * 2);
            dst = out.data() + used;
            dstLeft = out.size() - used;
            continue;
        }
        // Invalid or cut-off sequence: one '?' for the byte, then go on.
        if (dstLeft == 0) {
            size_t used = static_cast<size_t>(dst - out.data());
            out.resize(out.size() * 2);
            dst = out.data() + used;
            dstLeft = out.size() - used;
        }
        *dst++ = '?';
        --dstLeft;
        ++src;
        --srcLeft;
    }
    out.resize(static_cast<size_t>(dst - out.data()));
    iconv_close(cd);
    return out;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) { return Convert(ansi, "UTF-8", kAnsiCharset); }
std::string Utf8ToAnsi(std::string_view utf8) { return Convert(utf8, kAnsiCharset, "UTF-8"); }
bool IsAnsiLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

}  // namespace qv
