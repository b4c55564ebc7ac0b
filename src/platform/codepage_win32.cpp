#include "platform/codepage.h"

#include <windows.h>

#include <string>

namespace platform {
namespace {

std::wstring Widen(std::string_view in, UINT codePage) {
  if (in.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, in.data(), static_cast<int>(in.size()), out.data(), n);
  return out;
}

std::string Narrow(const std::wstring& in, UINT codePage) {
  if (in.empty()) return {};
  int n = WideCharToMultiByte(codePage, 0, in.data(), static_cast<int>(in.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, in.data(), static_cast<int>(in.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

}  // namespace

// The program's code page is the system's ANSI code page (936 on Chinese systems).
std::string FromUtf8(std::string_view utf8) { return Narrow(Widen(utf8, CP_UTF8), CP_ACP); }

std::string ToUtf8(std::string_view codePage) { return Narrow(Widen(codePage, CP_ACP), CP_UTF8); }

std::filesystem::path NativePath(std::string_view codePage) {
  return std::filesystem::path(Widen(codePage, CP_ACP));
}

std::string PathToCodePage(const std::filesystem::path& path) {
  return Narrow(path.wstring(), CP_ACP);
}

}  // namespace platform
