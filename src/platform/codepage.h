// Conversion between the program's code page and UTF-8, and native paths.
//
// The program keeps every text as bytes in its code page, Windows code page
// 936 (GBK with the euro sign at 0x80 and the user-defined areas in the
// private use area): settings values, mail bodies, subjects, addresses,
// messages and report lines. Fixed texts are written in UTF-8 in the sources
// and converted once, here. Linux and Windows give the same bytes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// UTF-8 to the program's code page. A character the code page lacks becomes
// '?' (two for one beyond U+FFFF, one per UTF-16 unit, as Windows writes it);
// no look-alike is substituted. Each byte that starts no well-formed UTF-8
// sequence becomes '?' too.
std::string FromUtf8(std::string_view utf8);

// The program's code page to UTF-8. Each byte that starts no character of the
// code page becomes U+FFFD.
std::string ToUtf8(std::string_view codePage);

// A file-system path from a name held in the code page (as stored in the
// settings file or typed by the user): UTF-8 on POSIX, where bytes that form
// no character of the code page stay as they are.
std::filesystem::path NativePath(std::string_view codePage);

// The code-page form of a native path. On POSIX each name of the path is
// converted when it is UTF-8 that the code page holds, and otherwise kept as
// its own bytes (a name made on Windows keeps its GBK bytes, which read as
// its text). FindNativePath finds such a path again.
std::string PathToCodePage(const std::filesystem::path& path);

// The native path of a code-page name that already exists, relative to
// `base` (or to the working directory when `base` is empty) unless absolute.
// On POSIX, where NativePath names nothing, each name of the path is tried as
// converted text and then as its own bytes, so that a file or folder whose
// name is GBK bytes on disk (unpacked from a Windows archive) is found from
// its name in the code page. When nothing is found, the converted path.
std::filesystem::path FindNativePath(std::string_view codePage,
                                     const std::filesystem::path& base = {});

// A native path as UTF-8 text for the window, whatever its bytes: UTF-8 as it
// is, other bytes that read as code-page text as that text, and any byte
// left over as "\xNN". For showing only; open the native path itself.
std::string DisplayName(const std::filesystem::path& path);

}  // namespace platform
