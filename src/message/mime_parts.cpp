#include "message/mime_parts.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <random>

#include "platform/codepage.h"
#include "platform/file_chunks.h"
#include "smtp/mail_item.h"
#include "smtp/mime_header.h"

namespace message {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kLineBytes = 57;  // 57 bytes make one line of 76 characters
constexpr std::size_t kLineChars = 76;
// Files are read and encoded this many lines at a time.
constexpr std::size_t kChunkBytes = kLineBytes * 16384;
// The longest stretch of a percent-encoded name on one line, and the raw
// bytes of one encoded word: lines of " name*12*=...;" and " =?UTF-8?B?...?="
// stay well within 78 characters.
constexpr std::size_t kSectionChars = 54;
constexpr std::size_t kWordBytes = 39;

struct TypeRow {
  const char* m_szExtension;
  const char* m_szType;
};

constexpr TypeRow kTypes[] = {
    {"pdf", "application/pdf"},
    {"doc", "application/msword"},
    {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"xls", "application/vnd.ms-excel"},
    {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {"ppt", "application/vnd.ms-powerpoint"},
    {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    {"wps", "application/vnd.ms-works"},
    {"zip", "application/zip"},
    {"rar", "application/vnd.rar"},
    {"7z", "application/x-7z-compressed"},
    {"gz", "application/gzip"},
    {"txt", "text/plain"},
    {"csv", "text/csv"},
    {"htm", "text/html"},
    {"html", "text/html"},
    {"xml", "application/xml"},
    {"json", "application/json"},
    {"rtf", "application/rtf"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"png", "image/png"},
    {"gif", "image/gif"},
    {"bmp", "image/bmp"},
    {"webp", "image/webp"},
    {"svg", "image/svg+xml"},
    {"ico", "image/x-icon"},
    {"tif", "image/tiff"},
    {"tiff", "image/tiff"},
    {"mp3", "audio/mpeg"},
    {"wav", "audio/wav"},
    {"mp4", "video/mp4"},
    {"avi", "video/x-msvideo"},
    {"mov", "video/quicktime"},
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsPlainNameChar(unsigned char c) {
  return c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '=' && c != '%';
}

// RFC 2231 attribute-char: what stands in an extended value unencoded.
bool IsAttributeChar(unsigned char c) {
  if (c <= 0x20 || c >= 0x7F) return false;
  constexpr std::string_view kSpecials = "*'%()<>@,;:\\\"/[]?=";
  return kSpecials.find(static_cast<char>(c)) == std::string_view::npos;
}

// The byte length of the UTF-8 character starting with `lead`.
std::size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

std::string PercentEncoded(const std::string& utf8) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsAttributeChar(byte)) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

}  // namespace

const char* ContentTypeFor(std::string_view fileName) {
  const std::size_t dot = fileName.rfind('.');
  if (dot != std::string_view::npos) {
    std::string extension;
    for (char c : fileName.substr(dot + 1)) extension += Lower(c);
    for (const TypeRow& row : kTypes) {
      if (extension == row.m_szExtension) return row.m_szType;
    }
  }
  return "application/octet-stream";
}

void AppendBase64Lines(std::string& out, std::string_view bytes) {
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t left = bytes.size();
  std::array<char, kLineChars + 2> line{};
  while (left > 0) {
    const std::size_t take = std::min(left, kLineBytes);
    std::size_t n = 0;
    std::size_t at = 0;
    for (; at + 3 <= take; at += 3) {
      const unsigned int group = (in[at] << 16) | (in[at + 1] << 8) | in[at + 2];
      line[n++] = kAlphabet[(group >> 18) & 0x3F];
      line[n++] = kAlphabet[(group >> 12) & 0x3F];
      line[n++] = kAlphabet[(group >> 6) & 0x3F];
      line[n++] = kAlphabet[group & 0x3F];
    }
    if (take - at == 1) {
      line[n++] = kAlphabet[in[at] >> 2];
      line[n++] = kAlphabet[(in[at] & 0x03) << 4];
      line[n++] = '=';
      line[n++] = '=';
    } else if (take - at == 2) {
      line[n++] = kAlphabet[in[at] >> 2];
      line[n++] = kAlphabet[((in[at] & 0x03) << 4) | (in[at + 1] >> 4)];
      line[n++] = kAlphabet[(in[at + 1] & 0x0F) << 2];
      line[n++] = '=';
    }
    line[n++] = '\r';
    line[n++] = '\n';
    out.append(line.data(), n);
    in += take;
    left -= take;
  }
}

std::uint64_t Base64LinesSize(std::uint64_t size) {
  const std::uint64_t lines = (size + kLineBytes - 1) / kLineBytes;
  return (size + 2) / 3 * 4 + lines * 2;
}

std::string FileNameParameter(std::string_view attribute, const std::string& name,
                              bool encodedWords) {
  const std::string clean = WithoutLineBreaks(name);
  bool plain = true;
  for (char c : clean) plain = plain && IsPlainNameChar(static_cast<unsigned char>(c));
  const std::string attr(attribute);
  if (plain && attr.size() + clean.size() + 6 <= mime::kFoldWidth) {
    return "\r\n " + attr + "=\"" + clean + "\"";
  }
  const std::string utf8 = platform::ToUtf8(clean);
  if (encodedWords) {
    // A quoted string of encoded words, each whole UTF-8 characters.
    std::string out = "\r\n " + attr + "=\"";
    for (std::size_t at = 0; at < utf8.size();) {
      std::size_t end = at;
      while (end < utf8.size()) {
        const std::size_t length = Utf8Length(static_cast<unsigned char>(utf8[end]));
        if (end > at && end + length - at > kWordBytes) break;
        end = std::min(utf8.size(), end + length);
      }
      if (at > 0) out += "\r\n ";
      out += "=?UTF-8?B?";
      std::string word;
      AppendBase64Lines(word, std::string_view(utf8).substr(at, end - at));
      out.append(word, 0, word.size() - 2);
      out += "?=";
      at = end;
    }
    return out + "\"";
  }
  const std::string encoded = PercentEncoded(utf8);
  if (attr.size() + encoded.size() + 12 <= mime::kFoldWidth) {
    return "\r\n " + attr + "*=UTF-8''" + encoded;
  }
  std::string out;
  int section = 0;
  for (std::size_t at = 0; at < encoded.size(); ++section) {
    std::size_t end = std::min(encoded.size(), at + kSectionChars);
    // Never cut a "%XX" in two.
    if (end < encoded.size()) {
      if (encoded[end - 1] == '%') end -= 1;
      else if (end >= 2 && encoded[end - 2] == '%') end -= 2;
    }
    if (section > 0) out += ";";
    out += "\r\n " + attr + "*" + std::to_string(section) + "*=";
    if (section == 0) out += "UTF-8''";
    out.append(encoded, at, end - at);
    at = end;
  }
  return out;
}

std::string FilePartHeader(const std::string& name, const std::string& contentId) {
  const std::string type = ContentTypeFor(name);
  // The longest office types do not fit beside the field name.
  std::string header = sizeof("Content-Type: ;") - 1 + type.size() > mime::kFoldWidth
                           ? "Content-Type:\r\n "
                           : "Content-Type: ";
  header += type + ";" + FileNameParameter("name", name, true) + "\r\n";
  header += "Content-Transfer-Encoding: base64\r\n";
  if (!contentId.empty()) header += "Content-ID: <" + contentId + ">\r\n";
  header += contentId.empty() ? "Content-Disposition: attachment;" : "Content-Disposition: inline;";
  header += FileNameParameter("filename", name, false) + "\r\n\r\n";
  return header;
}

bool EncodeFilePart(const std::filesystem::path& file, const std::string& name,
                    const std::string& contentId, SharedPiece& part, std::uint64_t& size) {
  const std::string header = FilePartHeader(name, contentId);
  std::error_code ec;
  const std::uintmax_t expected = std::filesystem::file_size(file, ec);
  auto text = std::make_shared<std::string>();
  text->reserve(header.size() + (ec ? 0 : Base64LinesSize(expected)));
  text->append(header);
  std::uint64_t read = 0;
  const bool ok = platform::ReadFileChunks(file, kChunkBytes, [&](std::string_view bytes) {
    AppendBase64Lines(*text, bytes);
    read += bytes.size();
    return true;
  });
  if (!ok) return false;
  // An empty file still has the line end its part ends with before the boundary.
  if (read == 0) text->append("\r\n");
  size = read;
  part = std::move(text);
  return true;
}

SharedPiece BytesPart(const std::string& name, const std::string& contentId, std::string_view bytes) {
  auto text = std::make_shared<std::string>(FilePartHeader(name, contentId));
  AppendBase64Lines(*text, bytes);
  if (bytes.empty()) text->append("\r\n");
  return text;
}

std::string TextPart(std::string text, std::string_view subtype, std::string_view charset,
                     bool base64) {
  RemoveNulBytes(text);
  NormalizeLineEnds(text, 2);
  base64 = base64 || mime::HasOverlongLine(text);
  std::string part = "Content-Type: text/";
  part.append(subtype);
  part += "; charset=";
  part.append(charset);
  part += base64 ? "\r\nContent-Transfer-Encoding: base64\r\n\r\n"
                 : "\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
  if (base64) {
    part.reserve(part.size() + Base64LinesSize(text.size()));
    AppendBase64Lines(part, text);
    if (text.empty()) part += "\r\n";  // the line end before the boundary
    return part;
  }
  if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) text += "\r\n";
  CMailItem escaper;  // doubles the first dot of every line that begins with one
  escaper.m_strBody = std::move(text);
  escaper.EscapeBody();
  part += escaper.m_strBody;
  return part;
}

std::string MakeBoundary() {
  thread_local std::mt19937_64 random = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }();
  char text[48];
  std::snprintf(text, sizeof text, "=_pw_%016llx%08llx", static_cast<unsigned long long>(random()),
                static_cast<unsigned long long>(random() & 0xFFFFFFFFu));
  return text;
}

void CWireWriter::Share(const SharedPiece& piece) {
  if (!m_strCurrent.empty()) {
    m_pieces.push_back(std::make_shared<const std::string>(std::move(m_strCurrent)));
    m_strCurrent.clear();
  }
  m_pieces.push_back(piece);
}

void CWireWriter::Multipart(const std::string& boundary, const std::vector<MimeEntity>& children) {
  for (const MimeEntity& child : children) {
    Add("--" + boundary + "\r\n");
    if (child.m_shared) {
      Share(child.m_shared);
      continue;
    }
    Add(child.m_strHeader);
    Add("\r\n");
    if (child.m_content) child.m_content(*this);
  }
  Add("--" + boundary + "--\r\n");
}

std::vector<SharedPiece> CWireWriter::Finish() {
  if (!m_strCurrent.empty()) {
    m_pieces.push_back(std::make_shared<const std::string>(std::move(m_strCurrent)));
    m_strCurrent.clear();
  }
  return std::move(m_pieces);
}

std::string MultipartHeader(std::string_view kind, const std::string& boundary, bool eightBit) {
  std::string header = "Content-Type: multipart/";
  header.append(kind);
  header += ";\r\n boundary=\"" + boundary + "\"\r\n";
  if (eightBit) header += "Content-Transfer-Encoding: 8bit\r\n";
  return header;
}

}  // namespace message
