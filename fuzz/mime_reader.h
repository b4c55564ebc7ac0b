// A minimal MIME reader for the fuzz targets: header fields (unfolded),
// multipart bodies split at their boundaries, base64 and RFC 2231 file names
// decoded. Small on purpose: it reads what the message builder writes.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"

namespace fuzz {

struct MimeEntity {
  std::map<std::string, std::string> m_fields;  // lower-case name -> unfolded value
  std::string m_strBody;
};

inline std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Splits `raw` at its first empty line; header lines of 78 characters at most.
inline MimeEntity ReadEntity(std::string_view raw) {
  MimeEntity entity;
  const std::size_t end = raw.starts_with("\r\n") ? 0 : raw.find("\r\n\r\n");
  FUZZ_CHECK(end != std::string_view::npos);
  const std::string_view head = raw.substr(0, end);
  entity.m_strBody = std::string(raw.substr(end == 0 ? 2 : end + 4));
  std::string name;
  for (std::size_t at = 0; at < head.size();) {
    std::size_t lf = head.find("\r\n", at);
    if (lf == std::string_view::npos) lf = head.size();
    const std::string_view line = head.substr(at, lf - at);
    FUZZ_CHECK(line.size() <= 78);
    if (!line.empty() && line[0] == ' ') {
      FUZZ_CHECK(!name.empty());
      entity.m_fields[name] += std::string(line);
    } else {
      const std::size_t colon = line.find(':');
      FUZZ_CHECK(colon != std::string_view::npos);
      name = Lowered(line.substr(0, colon));
      std::string_view value = line.substr(colon + 1);
      if (value.starts_with(" ")) value.remove_prefix(1);
      entity.m_fields[name] = std::string(value);
    }
    at = lf + 2;
  }
  return entity;
}

// The value of parameter `attribute` of a field: quoted or bare.
inline std::string Parameter(const std::string& field, const std::string& attribute) {
  const std::string lowered = Lowered(field);
  for (std::size_t at = lowered.find(attribute + "="); at != std::string::npos;
       at = lowered.find(attribute + "=", at + 1)) {
    if (at > 0 && lowered[at - 1] != ' ' && lowered[at - 1] != ';') continue;
    std::size_t from = at + attribute.size() + 1;
    if (field[from] == '"') {
      const std::size_t close = field.find('"', from + 1);
      FUZZ_CHECK(close != std::string::npos);
      return field.substr(from + 1, close - from - 1);
    }
    const std::size_t end = field.find(';', from);
    return field.substr(from, end == std::string::npos ? std::string::npos : end - from);
  }
  return std::string();
}

inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  FUZZ_CHECK(false);
  return 0;
}

inline std::string PercentDecode(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '%') {
      FUZZ_CHECK(at + 2 < text.size());
      out += static_cast<char>(HexDigit(text[at + 1]) * 16 + HexDigit(text[at + 2]));
      at += 2;
    } else {
      out += text[at];
    }
  }
  return out;
}

// The file name of a Content-Disposition field: a quoted filename, or the
// RFC 2231 filename* (whole or in numbered sections), UTF-8.
inline std::string FileName(const std::string& field) {
  std::string plain = Parameter(field, "filename");
  if (!plain.empty() || field.find("filename*") == std::string::npos) return plain;
  std::string whole = Parameter(field, "filename*");
  if (whole.empty()) {
    for (int section = 0;; ++section) {
      const std::string piece = Parameter(field, "filename*" + std::to_string(section) + "*");
      if (piece.empty()) break;
      whole += piece;
    }
  }
  FUZZ_CHECK(whole.starts_with("UTF-8''"));
  return PercentDecode(std::string_view(whole).substr(7));
}

// The parts of a multipart body with `boundary`: each delimiter stands at a
// line start, and the CR LF before it belongs to it.
inline std::vector<std::string> SplitMultipart(const std::string& body, const std::string& boundary) {
  const std::string delimiter = "--" + boundary;
  FUZZ_CHECK(body.starts_with(delimiter + "\r\n"));
  std::vector<std::string> parts;
  std::size_t at = delimiter.size() + 2;
  for (;;) {
    const std::size_t next = body.find("\r\n" + delimiter, at);
    FUZZ_CHECK(next != std::string::npos);
    parts.push_back(body.substr(at, next - at));
    at = next + 2 + delimiter.size();
    if (body.compare(at, 2, "--") == 0) {
      // A nested multipart's last line end belongs to the outer delimiter.
      FUZZ_CHECK(at + 2 == body.size() || (at + 4 == body.size() && body.ends_with("\r\n")));
      return parts;
    }
    FUZZ_CHECK(body.compare(at, 2, "\r\n") == 0);
    at += 2;
  }
}

// The content of a leaf part as its transfer encoding gives it.
inline std::string DecodedBody(const MimeEntity& entity) {
  const auto encoding = entity.m_fields.find("content-transfer-encoding");
  FUZZ_CHECK(encoding != entity.m_fields.end());
  if (encoding->second != "base64") return entity.m_strBody + "\r\n";
  std::string joined;
  std::size_t last = 76;
  for (std::size_t at = 0; at < entity.m_strBody.size();) {
    std::size_t end = entity.m_strBody.find("\r\n", at);
    if (end == std::string::npos) end = entity.m_strBody.size();
    FUZZ_CHECK(last == 76 && end - at <= 76);
    last = end - at;
    joined.append(entity.m_strBody, at, end - at);
    at = end + 2;
  }
  return Base64Decode(joined);
}

}  // namespace fuzz
