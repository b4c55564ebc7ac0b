// An initialization (INI) file held in memory, with the lookup and rewrite
// rules of the Windows private-profile functions. Pure and portable: no file
// or system calls, so it builds and can be compared with the real functions on
// every system.
//
// The file is a list of sections; the lines before the first "[name]" line
// form a nameless section. Every other non-blank line is an entry: "name=value"
// (both trimmed), or a line without '=' (comments included), kept whole as a
// name without a value. Blank lines are not kept: a rewritten file loses them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class CIniDocument {
 public:
  CIniDocument() = default;
  // Parses the bytes of a file; lines may end in CR LF, LF or CR.
  explicit CIniDocument(std::string_view bytes);

  // The value of `key` in `section` as the profile reader gives it: names
  // match without regard to ASCII letter case and around blanks, the first
  // matching section and entry win, and one pair of matching quotes (" or ')
  // around the value is removed. Nothing when the section or key is absent or
  // the entry is a line without '='.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // Stores `value` under `key`: replaces the first matching entry in place,
  // or adds the key at the end of its section, or adds the section at the end
  // of the document. Leading blanks of the value (and of a new name) are
  // dropped, trailing ones kept, as the platform's writer does. True when the
  // document changed, false when the stored value already equals the value.
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  // The file as the profile writer writes it: "[name]" and "name=value" lines,
  // each ending in CR LF.
  std::string Serialize() const;

 private:
  struct Entry {
    std::string name;
    std::optional<std::string> value;  // none for a line without '='
  };
  struct Section {
    std::string name;  // empty for the lines before the first section
    std::vector<Entry> entries;
  };

  const Section* FindSection(std::string_view name) const;
  Section* FindSection(std::string_view name);

  std::string m_strBom;  // a UTF-8 byte-order mark the file began with
  std::vector<Section> m_sections{Section{}};
};

// What a profile read leaves in a zero-filled buffer of `bufferSize` bytes
// with the empty string as default: the value cut to bufferSize - 1 bytes and
// at its first NUL byte.
std::string ClipProfileValue(const std::optional<std::string>& value, std::size_t bufferSize);

}  // namespace platform
