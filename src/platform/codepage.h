// Conversion between the program's code page and UTF-8, and native paths.
//
// The program keeps every text as bytes in its code page (GBK, code page 936):
// settings values, mail bodies, subjects, addresses, messages and report lines.
// Fixed texts are written in UTF-8 in the sources and converted once, here.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// UTF-8 to the program's code page. Characters the code page cannot hold
// become '?'. Invalid UTF-8 bytes are copied as they stand.
std::string FromUtf8(std::string_view utf8);

// The program's code page to UTF-8. Bytes that do not form a character of the
// code page become U+FFFD.
std::string ToUtf8(std::string_view codePage);

// A file-system path from a name held in the code page (as stored in the
// settings file or typed by the user).
std::filesystem::path NativePath(std::string_view codePage);

// The code-page bytes of a native path, the inverse of NativePath.
std::string PathToCodePage(const std::filesystem::path& path);

}  // namespace platform
