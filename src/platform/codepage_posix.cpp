#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>

namespace platform {
namespace {

// GB18030 is a superset of GBK that round-trips every character, so text the
// Windows program stored in code page 936 reads back unchanged.
constexpr const char* kCodePage = "GB18030";

// Converts with iconv; on a byte sequence that cannot be converted, writes
// `replacement` and skips one input byte.
std::string Convert(std::string_view in, const char* to, const char* from,
                    std::string_view replacement) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  std::string out;
  out.reserve(in.size() + in.size() / 2 + 8);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char buffer[4096];
  while (srcLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer, sizeof buffer - dstLeft);
    if (rc == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (a truncated sequence at the end): mark and skip a byte.
      out.append(replacement);
      ++src;
      --srcLeft;
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string FromUtf8(std::string_view utf8) {
  return Convert(utf8, kCodePage, "UTF-8", "?");
}

std::string ToUtf8(std::string_view codePage) {
  return Convert(codePage, "UTF-8", kCodePage, "\xEF\xBF\xBD");
}

std::filesystem::path NativePath(std::string_view codePage) {
  return std::filesystem::path(ToUtf8(codePage));
}

std::string PathToCodePage(const std::filesystem::path& path) {
  return FromUtf8(path.string());
}

}  // namespace platform
