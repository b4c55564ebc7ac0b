#include "platform/ini_document.h"

#include <utility>

namespace platform {
namespace {

// Blanks around names and values: ASCII white space, and Ctrl-Z, which old
// editors leave at the end of a file.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1A';
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Section and key names compare without regard to ASCII letter case; other
// bytes (GBK text) compare as they are.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// One pair of matching double or single quotes around a value is dropped.
std::string Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

}  // namespace

CIniDocument::CIniDocument(std::string_view bytes) {
  // A UTF-8 byte-order mark is skipped, and written again on a rewrite.
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    m_strBom = kUtf8Bom;
    bytes.remove_prefix(kUtf8Bom.size());
  }
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t start = pos;
    while (pos < bytes.size() && bytes[pos] != '\n' && bytes[pos] != '\r') ++pos;
    const std::string_view line = Trim(bytes.substr(start, pos - start));
    while (pos < bytes.size() && (bytes[pos] == '\n' || bytes[pos] == '\r')) ++pos;
    if (line.empty()) continue;

    if (line.front() == '[') {
      const std::size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        m_sections.push_back(Section{std::string(Trim(line.substr(1, close - 1))), {}});
        continue;
      }
      // Without a closing bracket the line is an ordinary entry.
    }

    Entry entry;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      entry.name = std::string(line);
    } else {
      entry.name = std::string(TrimRight(line.substr(0, eq)));
      entry.value = std::string(TrimLeft(line.substr(eq + 1)));
    }
    // Entries without a name are not repeated: the second of two in a row is
    // dropped, as the platform's reader does.
    std::vector<Entry>& entries = m_sections.back().entries;
    if (entry.name.empty() && !entries.empty() && entries.back().name.empty()) continue;
    entries.push_back(std::move(entry));
  }
}

const CIniDocument::Section* CIniDocument::FindSection(std::string_view name) const {
  for (const Section& section : m_sections) {
    if (SameName(section.name, name)) return &section;
  }
  return nullptr;
}

CIniDocument::Section* CIniDocument::FindSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

std::optional<std::string> CIniDocument::Get(std::string_view section,
                                             std::string_view key) const {
  const Section* found = FindSection(Trim(section));
  if (found == nullptr) return std::nullopt;
  key = Trim(key);
  for (const Entry& entry : found->entries) {
    if (!SameName(entry.name, key)) continue;
    if (!entry.value) return std::nullopt;
    return Unquote(*entry.value);
  }
  return std::nullopt;
}

bool CIniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  // Names are looked up trimmed, but a new section or key, and the value, lose
  // only their leading blanks: trailing ones are written as given (a later
  // read trims them).
  section = TrimLeft(section);
  key = TrimLeft(key);
  value = TrimLeft(value);
  Section* found = FindSection(TrimRight(section));
  if (found == nullptr) {
    m_sections.push_back(Section{std::string(section), {}});
    found = &m_sections.back();
  }
  for (Entry& entry : found->entries) {
    if (!SameName(entry.name, TrimRight(key))) continue;
    if (entry.value && *entry.value == value) return false;
    entry.value = std::string(value);
    return true;
  }
  found->entries.push_back(Entry{std::string(key), std::string(value)});
  return true;
}

std::string CIniDocument::Serialize() const {
  std::string out;
  for (const Section& section : m_sections) {
    // Only the lines before the first section go without a "[name]" line; a
    // later section read from "[]" keeps it, or its entries would join the
    // section before it on the next read.
    if (&section != &m_sections.front()) {
      out += '[';
      out += section.name;
      out += "]\r\n";
    }
    for (const Entry& entry : section.entries) {
      out += entry.name;
      if (entry.value) {
        out += '=';
        out += *entry.value;
      }
      out += "\r\n";
    }
  }
  // A first line that itself begins with the bytes of a byte-order mark (a
  // line with blanks before them) would lose them to the mark on the next
  // read: a mark written before it keeps them.
  if (!m_strBom.empty() || out.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0) out.insert(0, kUtf8Bom);
  return out;
}

std::string ClipProfileValue(const std::optional<std::string>& value, std::size_t bufferSize) {
  if (!value || bufferSize == 0) return {};
  std::string_view clipped = *value;
  clipped = clipped.substr(0, clipped.find('\0'));
  if (clipped.size() < bufferSize) return std::string(clipped);
  // Cut at a character boundary: a character of the code page that does not
  // fit whole is left out whole. A lead byte 0x81-0xFE starts a double-byte
  // character (code page 936 has no longer ones).
  std::size_t end = 0;
  while (end < clipped.size()) {
    const unsigned char lead = static_cast<unsigned char>(clipped[end]);
    const std::size_t width = lead >= 0x81 && lead <= 0xFE && end + 1 < clipped.size() ? 2 : 1;
    if (end + width > bufferSize - 1) break;
    end += width;
  }
  return std::string(clipped.substr(0, end));
}

}  // namespace platform
