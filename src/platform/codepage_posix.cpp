#include "platform/codepage.h"

#include <iconv.h>
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <memory>

namespace platform {
namespace {

// The layout of code page 936 beyond what glibc's table holds.
namespace cp936 {

constexpr unsigned kFirstLead = 0x81;
constexpr unsigned kLastLead = 0xFE;
constexpr unsigned char kEuroByte = 0x80;
constexpr std::uint16_t kEuro = 0x20AC;
// Windows writes this private-use character as the single byte 0xFF, which
// it does not read back as a character.
constexpr std::uint16_t kPrivateUseOfByteFF = 0xF8F5;
// The user-defined areas come first in the private use area, in this order:
// AAA1-AFFE, F8A1-FEFE (trail bytes A1-FE), A140-A7A0 (trail bytes 40-A0).
constexpr std::uint16_t kFirstUserPrivateUse = 0xE000;
constexpr unsigned kCellsPerUpperRow = 0xFE - 0xA1 + 1;        // 94
constexpr unsigned kCellsPerLowerRow = 0xA0 - 0x40 + 1 - 1;    // 96: 40-A0 without 7F
constexpr unsigned kUpperRowsFirstArea = 0xAF - 0xAA + 1;      // 6
constexpr unsigned kUpperRowsSecondArea = 0xFE - 0xF8 + 1;     // 7
// The other cells glibc leaves empty follow, one after another in byte order.
constexpr std::uint16_t kFirstFillerPrivateUse = 0xE766;

constexpr bool IsTrailByte(unsigned b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

constexpr bool IsUserDefinedCell(unsigned lead, unsigned trail) {
  const bool upper = trail >= 0xA1 && trail <= 0xFE;
  if (upper && ((lead >= 0xAA && lead <= 0xAF) || (lead >= 0xF8 && lead <= 0xFE))) return true;
  return lead >= 0xA1 && lead <= 0xA7 && trail >= 0x40 && trail <= 0xA0 && trail != 0x7F;
}

constexpr std::uint16_t UserDefinedPrivateUse(unsigned lead, unsigned trail) {
  unsigned index = 0;
  if (trail >= 0xA1 && lead >= 0xAA && lead <= 0xAF) {
    index = (lead - 0xAA) * kCellsPerUpperRow + (trail - 0xA1);
  } else if (trail >= 0xA1) {
    index = (kUpperRowsFirstArea + lead - 0xF8) * kCellsPerUpperRow + (trail - 0xA1);
  } else {
    const unsigned column = trail - 0x40 - (trail > 0x7F ? 1 : 0);
    index = (kUpperRowsFirstArea + kUpperRowsSecondArea) * kCellsPerUpperRow +
            (lead - 0xA1) * kCellsPerLowerRow + column;
  }
  return static_cast<std::uint16_t>(kFirstUserPrivateUse + index);
}

}  // namespace cp936

// Code page 936 as Windows has it, in two tables built once. glibc's "CP936"
// gives the standard cells (0x80 is the euro sign there too); Windows adds the
// user-defined areas and the cells glibc leaves empty, all mapped to the
// private use area, and U+F8F5 written as the single byte 0xFF. Characters
// outside the table are written as '?' with no best-fit substitute.
class CCp936 {
 public:
  CCp936() {
    m_decode.fill(0);
    m_encode.fill(0);
    iconv_t cd = iconv_open("UTF-16LE", "CP936");
    std::uint16_t nextPrivate = cp936::kFirstFillerPrivateUse;
    for (unsigned lead = cp936::kFirstLead; lead <= cp936::kLastLead; ++lead) {
      for (unsigned trail = 0; trail < 256; ++trail) {
        if (!cp936::IsTrailByte(trail)) continue;
        std::uint16_t unit = 0;
        if (cp936::IsUserDefinedCell(lead, trail)) {
          unit = cp936::UserDefinedPrivateUse(lead, trail);
        } else if (!Decode(cd, lead, trail, unit)) {
          unit = nextPrivate++;  // a cell glibc leaves empty
        }
        const std::uint16_t cell = static_cast<std::uint16_t>(lead << 8 | trail);
        m_decode[Index(lead, trail)] = unit;
        if (m_encode[unit] == 0) m_encode[unit] = cell;
      }
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    m_encode[cp936::kEuro] = cp936::kEuroByte;
    m_encode[cp936::kPrivateUseOfByteFF] = 0xFF;
  }

  // The UTF-16 unit of a double-byte cell; 0 when it is none.
  std::uint16_t Cell(unsigned lead, unsigned trail) const {
    if (lead < cp936::kFirstLead || lead > cp936::kLastLead || !cp936::IsTrailByte(trail)) return 0;
    return m_decode[Index(lead, trail)];
  }
  // The bytes of a BMP character: one byte (< 0x100) or a cell; 0 when none.
  std::uint16_t Bytes(std::uint32_t c) const {
    if (c < 0x80) return static_cast<std::uint16_t>(c);
    return c < 0x10000 ? m_encode[c] : 0;
  }

 private:
  static std::size_t Index(unsigned lead, unsigned trail) {
    return (lead - cp936::kFirstLead) * 256 + trail;
  }
  static bool Decode(iconv_t cd, unsigned lead, unsigned trail, std::uint16_t& unit) {
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    char out[8];
    char* src = in;
    char* dst = out;
    size_t srcLeft = 2;
    size_t dstLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) ||
        sizeof out - dstLeft != 2) {
      return false;
    }
    unit = static_cast<std::uint16_t>(static_cast<unsigned char>(out[0]) |
                                      static_cast<unsigned char>(out[1]) << 8);
    return true;
  }

  std::array<std::uint16_t, (cp936::kLastLead - cp936::kFirstLead + 1) * 256> m_decode;
  std::array<std::uint16_t, 0x10000> m_encode;
};

const CCp936& Table() {
  static const std::unique_ptr<CCp936> table = std::make_unique<CCp936>();
  return *table;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

constexpr std::uint32_t kInvalid = 0xFFFFFFFF;

// The scalar value of the UTF-8 sequence at `at` and its length; kInvalid and
// length 1 for a byte that starts no well-formed sequence.
std::uint32_t NextUtf8(std::string_view s, std::size_t at, std::size_t& length) {
  const unsigned char b = static_cast<unsigned char>(s[at]);
  length = 1;
  if (b < 0x80) return b;
  std::size_t n = 0;
  std::uint32_t c = 0;
  std::uint32_t least = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2, c = b & 0x1F, least = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3, c = b & 0x0F, least = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4, c = b & 0x07, least = 0x10000;
  } else {
    return kInvalid;
  }
  if (at + n > s.size()) return kInvalid;
  for (std::size_t i = 1; i < n; ++i) {
    const unsigned char t = static_cast<unsigned char>(s[at + i]);
    if ((t & 0xC0) != 0x80) return kInvalid;
    c = c << 6 | (t & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kInvalid;
  length = n;
  return c;
}

// The code-page bytes of one character; false when the code page lacks it.
bool EncodeChar(std::uint32_t c, std::string& out) {
  const std::uint16_t bytes = Table().Bytes(c);
  if (c != 0 && bytes == 0) return false;
  if (bytes > 0xFF) out += static_cast<char>(bytes >> 8);
  out += static_cast<char>(bytes & 0xFF);
  return true;
}

// The character at `at` of code-page text and its length; kInvalid and length
// 1 for a byte that starts no character.
std::uint32_t NextCodePage(std::string_view s, std::size_t at, std::size_t& length) {
  const unsigned char b = static_cast<unsigned char>(s[at]);
  length = 1;
  if (b < 0x80) return b;
  if (b == cp936::kEuroByte) return cp936::kEuro;
  if (at + 1 < s.size()) {
    const std::uint16_t unit = Table().Cell(b, static_cast<unsigned char>(s[at + 1]));
    if (unit != 0) {
      length = 2;
      return unit;
    }
  }
  return kInvalid;
}

}  // namespace

std::string FromUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0, length = 1; at < utf8.size(); at += length) {
    const std::uint32_t c = NextUtf8(utf8, at, length);
    if (c == kInvalid || !EncodeChar(c, out)) {
      // Windows writes one '?' per UTF-16 unit: two for a character beyond
      // the BMP.
      out += c != kInvalid && c >= 0x10000 ? "??" : "?";
    }
  }
  return out;
}

std::string ToUtf8(std::string_view codePage) {
  std::string out;
  out.reserve(codePage.size() + codePage.size() / 2);
  for (std::size_t at = 0, length = 1; at < codePage.size(); at += length) {
    const std::uint32_t c = NextCodePage(codePage, at, length);
    AppendUtf8(out, c == kInvalid ? 0xFFFD : c);
  }
  return out;
}

std::filesystem::path NativePath(std::string_view codePage) {
  // Bytes that form no character of the code page stay as they are.
  std::string out;
  out.reserve(codePage.size() + codePage.size() / 2);
  for (std::size_t at = 0, length = 1; at < codePage.size(); at += length) {
    const std::uint32_t c = NextCodePage(codePage, at, length);
    if (c == kInvalid) {
      out += codePage[at];
    } else {
      AppendUtf8(out, c);
    }
  }
  return std::filesystem::path(std::move(out));
}

namespace {

// One name of a path in the code page: converted when it is UTF-8 whose every
// character the code page holds and gives back unchanged; otherwise its bytes
// as they are (a name made on Windows in GBK keeps its GBK bytes, which read
// as the right text).
void AppendNameInCodePage(std::string_view name, std::string& out) {
  std::string converted;
  for (std::size_t at = 0, length = 1; at < name.size(); at += length) {
    const std::uint32_t c = NextUtf8(name, at, length);
    std::size_t back = 0;
    const std::size_t start = converted.size();
    if (c == kInvalid || !EncodeChar(c, converted) ||
        NextCodePage(converted, start, back) != c) {
      out.append(name);
      return;
    }
  }
  out += converted;
}

}  // namespace

std::string PathToCodePage(const std::filesystem::path& path) {
  const std::string& native = path.native();
  std::string out;
  out.reserve(native.size());
  std::size_t start = 0;
  for (std::size_t slash; (slash = native.find('/', start)) != std::string::npos; start = slash + 1) {
    AppendNameInCodePage(std::string_view(native).substr(start, slash - start), out);
    out += '/';
  }
  AppendNameInCodePage(std::string_view(native).substr(start), out);
  return out;
}

std::filesystem::path FindNativePath(std::string_view codePage, const std::filesystem::path& base) {
  auto exists = [](const std::filesystem::path& p) {
    struct stat info {};
    return ::lstat(p.c_str(), &info) == 0;
  };
  const std::filesystem::path converted = NativePath(codePage);
  const bool absolute = !codePage.empty() && codePage[0] == '/';
  const std::filesystem::path whole = absolute || base.empty() ? converted : base / converted;
  if (exists(whole) || converted.native() == codePage) return whole;
  // Name by name: the converted name where it exists, else the name's own
  // bytes where those exist.
  std::filesystem::path found = absolute ? std::filesystem::path("/") : base;
  std::size_t start = absolute ? 1 : 0;
  bool lost = false;
  while (start <= codePage.size()) {
    std::size_t slash = codePage.find('/', start);
    if (slash == std::string_view::npos) slash = codePage.size();
    const std::string_view name = codePage.substr(start, slash - start);
    if (!name.empty()) {
      const std::filesystem::path asText = NativePath(name);
      const std::filesystem::path asBytes{std::string(name)};
      if (lost || exists(found / asText)) {
        found /= asText;
      } else if (exists(found / asBytes)) {
        found /= asBytes;
      } else {
        lost = true;  // found in neither form: the rest is taken as text
        found /= asText;
      }
    }
    if (slash == codePage.size()) break;
    start = slash + 1;
  }
  return found;
}

std::string DisplayName(const std::filesystem::path& path) {
  // UTF-8 as it is; a run of other bytes that reads as code-page text as
  // that text; any byte left as "\xNN".
  const std::string& native = path.native();
  std::string out;
  std::size_t at = 0;
  while (at < native.size()) {
    std::size_t length = 1;
    if (NextUtf8(native, at, length) != kInvalid) {
      out.append(native, at, length);
      at += length;
      continue;
    }
    const std::uint32_t c = NextCodePage(native, at, length);
    if (c != kInvalid && c >= 0x80) {
      AppendUtf8(out, c);
      at += length;
      continue;
    }
    static const char kHex[] = "0123456789ABCDEF";
    const unsigned char b = static_cast<unsigned char>(native[at]);
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
    ++at;
  }
  return out;
}

}  // namespace platform
