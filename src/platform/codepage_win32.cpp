#include "platform/codepage.h"

#include <windows.h>

#include <string>

namespace platform {
namespace {

// The program's texts are in code page 936 whatever the system's ANSI code
// page; paths go to the system in the ANSI code page, as its "A" calls take them.
constexpr UINT kTextCodePage = 936;

std::wstring Widen(std::string_view in, UINT codePage, DWORD flags = 0) {
  if (in.empty()) return {};
  int n = MultiByteToWideChar(codePage, flags, in.data(), static_cast<int>(in.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, flags, in.data(), static_cast<int>(in.size()), out.data(), n);
  return out;
}

// The code page to UTF-16. The system would turn a byte sequence that is no
// character of the code page into '?', which reads as text; it becomes U+FFFD
// here, one per byte skipped.
std::wstring WidenCodePage(std::string_view in) {
  std::wstring out = Widen(in, kTextCodePage, MB_ERR_INVALID_CHARS);
  if (in.empty() || !out.empty()) return out;
  for (std::size_t i = 0; i < in.size();) {
    const bool lead = IsDBCSLeadByteEx(kTextCodePage, static_cast<BYTE>(in[i])) && i + 1 < in.size();
    const std::size_t width = lead ? 2 : 1;
    const std::wstring piece = Widen(in.substr(i, width), kTextCodePage, MB_ERR_INVALID_CHARS);
    if (piece.empty()) {
      out += L'\xFFFD';
      ++i;
    } else {
      out += piece;
      i += width;
    }
  }
  return out;
}

// UTF-16 to a code page; with `flags` WC_NO_BEST_FIT_CHARS a character the
// code page lacks becomes '?' instead of a look-alike.
std::string Narrow(const std::wstring& in, UINT codePage, DWORD flags = 0) {
  if (in.empty()) return {};
  int n = WideCharToMultiByte(codePage, flags, in.data(), static_cast<int>(in.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, flags, in.data(), static_cast<int>(in.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

}  // namespace

std::string FromUtf8(std::string_view utf8) {
  return Narrow(Widen(utf8, CP_UTF8), kTextCodePage, WC_NO_BEST_FIT_CHARS);
}

std::string ToUtf8(std::string_view codePage) { return Narrow(WidenCodePage(codePage), CP_UTF8); }

std::filesystem::path NativePath(std::string_view codePage) {
  return std::filesystem::path(Widen(codePage, CP_ACP));
}

std::string PathToCodePage(const std::filesystem::path& path) {
  return Narrow(path.wstring(), CP_ACP, WC_NO_BEST_FIT_CHARS);
}

std::filesystem::path FindNativePath(std::string_view codePage, const std::filesystem::path& base) {
  const std::filesystem::path native = NativePath(codePage);
  return base.empty() || native.is_absolute() || native.has_root_name() || native.has_root_directory()
             ? native
             : base / native;
}

std::string DisplayName(const std::filesystem::path& path) {
  return Narrow(path.wstring(), CP_UTF8);
}

}  // namespace platform
