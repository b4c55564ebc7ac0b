#include "message/html_document.h"

namespace message {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Lower(c);
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The charset named after "charset=" in `text`, or "".
std::string CharsetAfter(std::string_view lowered) {
  const std::size_t at = lowered.find("charset=");
  if (at == std::string_view::npos) return std::string();
  std::size_t from = at + 8;
  while (from < lowered.size() && (lowered[from] == '"' || lowered[from] == '\'' || IsBlank(lowered[from]))) ++from;
  std::size_t end = from;
  while (end < lowered.size() && (IsNameChar(lowered[end]) || lowered[end] == '_' || lowered[end] == '.' ||
                                  lowered[end] == ':')) {
    ++end;
  }
  return std::string(lowered.substr(from, end - from));
}

HtmlCharset FromName(const std::string& name) {
  if (name == "utf-8" || name == "utf8") return {HtmlCharsetKind::Utf8, "UTF-8"};
  if (name == "gbk" || name == "x-gbk" || name == "cp936" || name == "windows-936" || name == "gb2312" ||
      name == "gb_2312-80" || name == "euc-cn") {
    return {HtmlCharsetKind::CodePage, "GBK"};
  }
  if (name == "gb18030") return {HtmlCharsetKind::CodePage, "GB18030"};
  if (name == "us-ascii" || name == "ascii") return {HtmlCharsetKind::CodePage, "GBK"};
  if (name == "utf-16" || name == "utf-16le" || name == "utf-16be") return {HtmlCharsetKind::Utf16, name};
  return {HtmlCharsetKind::Unknown, name};
}

// Whether `address` is relative: no scheme, no "//", not a fragment, no field.
bool IsRelative(std::string_view address) {
  if (address.empty() || address[0] == '#' || address.starts_with("//") ||
      address.find("{{") != std::string_view::npos) {
    return false;
  }
  for (char c : address) {
    if (c == ':') return false;  // a scheme, or a drive
    if (c == '/' || c == '?' || c == '#') break;
  }
  return true;
}

std::string PercentDecoded(std::string_view address) {
  const std::size_t end = address.find_first_of("?#");
  address = address.substr(0, end);
  std::string out;
  for (std::size_t at = 0; at < address.size(); ++at) {
    if (address[at] == '%' && at + 2 < address.size() + 0 && HexValue(address[at + 1]) >= 0 &&
        HexValue(address[at + 2]) >= 0) {
      out += static_cast<char>(HexValue(address[at + 1]) * 16 + HexValue(address[at + 2]));
      at += 2;
    } else if (address.substr(at, 5) == "&amp;") {
      out += '&';
      at += 4;
    } else {
      out += address[at];
    }
  }
  return out;
}

void AddReference(std::vector<PictureReference>& found, std::string_view html, std::size_t at,
                  std::size_t length) {
  // Blanks around the address are not part of it.
  while (length > 0 && IsBlank(html[at])) ++at, --length;
  while (length > 0 && IsBlank(html[at + length - 1])) --length;
  const std::string_view address = html.substr(at, length);
  if (!IsRelative(address)) return;
  const std::string path = PercentDecoded(address);
  if (path.empty()) return;
  found.push_back({at, length, path});
}

// The CSS url(...) addresses in html[from, to).
void FindUrls(std::vector<PictureReference>& found, std::string_view html, const std::string& lowered,
              std::size_t from, std::size_t to) {
  for (std::size_t at = lowered.find("url(", from); at != std::string::npos && at < to;
       at = lowered.find("url(", at + 4)) {
    std::size_t start = at + 4;
    const std::size_t close = lowered.find(')', start);
    if (close == std::string::npos || close > to) break;
    std::size_t end = close;
    while (start < end && IsBlank(html[start])) ++start;
    if (start < end && (html[start] == '"' || html[start] == '\'' )) {
      const char quote = html[start++];
      const std::size_t q = html.find(quote, start);
      if (q == std::string_view::npos || q > close) continue;
      end = q;
    }
    AddReference(found, html, start, end - start);
  }
}

}  // namespace

HtmlCharset DetectHtmlCharset(std::string_view html) {
  if (html.starts_with(kUtf8Mark)) return {HtmlCharsetKind::Utf8, "UTF-8"};
  if (html.starts_with("\xFF\xFE") || html.starts_with("\xFE\xFF")) {
    return {HtmlCharsetKind::Utf16, "UTF-16"};
  }
  const std::string lowered = Lowered(html);
  for (std::size_t at = lowered.find("<meta"); at != std::string::npos; at = lowered.find("<meta", at + 5)) {
    const std::size_t end = lowered.find('>', at);
    const std::string name =
        CharsetAfter(std::string_view(lowered).substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (!name.empty()) return FromName(name);
  }
  return {};
}

std::vector<PictureReference> FindPictures(std::string_view html) {
  std::vector<PictureReference> found;
  const std::string lowered = Lowered(html);
  std::size_t at = 0;
  while ((at = lowered.find('<', at)) != std::string::npos) {
    if (lowered.compare(at, 4, "<!--") == 0) {
      const std::size_t close = lowered.find("-->", at);
      at = close == std::string::npos ? lowered.size() : close + 3;
      continue;
    }
    std::size_t i = at + 1;
    std::string tag;
    while (i < lowered.size() && IsNameChar(lowered[i])) tag += lowered[i++];
    // Attributes up to the tag's ">", quotes respected.
    while (i < lowered.size() && lowered[i] != '>') {
      while (i < lowered.size() && (IsBlank(lowered[i]) || lowered[i] == '/')) ++i;
      const std::size_t nameStart = i;
      while (i < lowered.size() && !IsBlank(lowered[i]) && lowered[i] != '=' && lowered[i] != '>' &&
             lowered[i] != '/') {
        ++i;
      }
      const std::string attribute = lowered.substr(nameStart, i - nameStart);
      while (i < lowered.size() && IsBlank(lowered[i])) ++i;
      if (i >= lowered.size() || lowered[i] != '=') {
        if (i == nameStart && i < lowered.size() && lowered[i] != '>') ++i;
        continue;
      }
      ++i;
      while (i < lowered.size() && IsBlank(lowered[i])) ++i;
      std::size_t valueStart = i;
      std::size_t valueEnd;
      if (i < lowered.size() && (lowered[i] == '"' || lowered[i] == '\'')) {
        const char quote = lowered[i];
        valueStart = i + 1;
        valueEnd = lowered.find(quote, valueStart);
        if (valueEnd == std::string::npos) valueEnd = lowered.size();
        i = valueEnd < lowered.size() ? valueEnd + 1 : valueEnd;
      } else {
        while (i < lowered.size() && !IsBlank(lowered[i]) && lowered[i] != '>') ++i;
        valueEnd = i;
      }
      if ((tag == "img" && attribute == "src") || attribute == "background") {
        AddReference(found, html, valueStart, valueEnd - valueStart);
      } else if (attribute == "style") {
        FindUrls(found, html, lowered, valueStart, valueEnd);
      }
    }
    const std::size_t tagEnd = i;
    at = tagEnd;
    if (tag == "style") {
      const std::size_t close = lowered.find("</style", tagEnd);
      const std::size_t to = close == std::string::npos ? lowered.size() : close;
      FindUrls(found, html, lowered, tagEnd, to);
      at = to;
    }
  }
  return found;
}

std::string InsertBeforeBodyEnd(std::string_view html, std::string_view block) {
  const std::string lowered = Lowered(html);
  const std::size_t at = lowered.rfind("</body");
  std::string out;
  out.reserve(html.size() + block.size());
  if (at == std::string::npos) {
    out.append(html);
    out.append(block);
    return out;
  }
  out.append(html.substr(0, at));
  out.append(block);
  out.append(html.substr(at));
  return out;
}

}  // namespace message
