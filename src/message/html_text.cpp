#include "message/html_text.h"

#include <cctype>
#include <cstdlib>

namespace message {
namespace {

constexpr unsigned long kReplacement = 0xFFFD;
constexpr unsigned long kMaxCodePoint = 0x10FFFF;
constexpr std::size_t kMaxEntity = 12;  // "&#x10FFFF;" and the longest name fit

struct NamedEntity {
  const char* m_szName;
  unsigned long m_nCode;
};

constexpr NamedEntity kEntities[] = {
    {"amp", '&'},     {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
    {"nbsp", ' '},    {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122}, {"mdash", 0x2014},
    {"ndash", 0x2013}, {"hellip", 0x2026}, {"laquo", 0xAB},  {"raquo", 0xBB},   {"middot", 0xB7},
    {"yen", 0xA5},    {"times", 0xD7},   {"divide", 0xF7},  {"ldquo", 0x201C}, {"rdquo", 0x201D},
    {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"bull", 0x2022},  {"deg", 0xB0},     {"emsp", ' '},
    {"ensp", ' '},    {"thinsp", ' '},
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// Elements whose content is not text for the reader.
bool IsHidden(const std::string& tag) {
  return tag == "script" || tag == "style" || tag == "title" || tag == "head" ||
         tag == "template" || tag == "noscript";
}

// 2: an empty line around it; 1: a new line; 0: inline.
int BreakOf(const std::string& tag) {
  static const char* const kParagraphs[] = {"p",  "h1", "h2", "h3",    "h4",    "h5",
                                            "h6", "ul", "ol", "table", "blockquote", "pre",
                                            "hr", "dl", "form", "section", "article", "address"};
  static const char* const kLines[] = {"br", "div", "li", "tr", "dt", "dd", "header",
                                       "footer", "center", "caption", "main", "nav"};
  for (const char* name : kParagraphs) {
    if (tag == name) return 2;
  }
  for (const char* name : kLines) {
    if (tag == name) return 1;
  }
  return 0;
}

// Builds the text: blanks collapsed, breaks held back until text follows.
class CTextOut {
 public:
  void Text(std::string_view text, bool pre) {
    for (char c : text) {
      if (!pre && IsBlank(c)) {
        m_bSpace = true;
        continue;
      }
      if (pre && c == '\n') {
        m_strText += '\n';
        m_bSpace = false;
        m_nPending = 0;
        continue;
      }
      if (pre && c == '\r') continue;
      Flush();
      m_strText += c;
    }
  }
  void Break(int lines) {
    if (lines > m_nPending) m_nPending = lines;
    m_bSpace = false;
  }
  std::string Finish() {
    while (!m_strText.empty() && IsBlank(m_strText.back())) m_strText.pop_back();
    if (!m_strText.empty()) m_strText += '\n';
    return std::move(m_strText);
  }
  std::string m_strText;

 private:
  void Flush() {
    if (m_nPending > 0 && !m_strText.empty()) {
      while (!m_strText.empty() && m_strText.back() == ' ') m_strText.pop_back();
      std::size_t have = 0;
      for (std::size_t i = m_strText.size(); i > 0 && m_strText[i - 1] == '\n'; --i) ++have;
      for (int i = static_cast<int>(have); i < m_nPending; ++i) m_strText += '\n';
    } else if (m_bSpace && !m_strText.empty() && m_strText.back() != '\n') {
      m_strText += ' ';
    }
    m_nPending = 0;
    m_bSpace = false;
  }
  int m_nPending = 0;
  bool m_bSpace = false;
};

// Text with its entities decoded.
std::string Decoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    std::string utf8;
    std::size_t length = 0;
    if (text[at] == '&' && DecodeEntity(text, at, utf8, length)) {
      out += utf8;
      at += length;
    } else {
      out += text[at++];
    }
  }
  return out;
}

// The value of attribute `name` in the inside of a tag ("a href=x"), decoded.
std::string AttributeValue(std::string_view inside, std::string_view name) {
  std::size_t at = 0;
  while (at < inside.size() && IsNameChar(inside[at])) ++at;  // the tag name
  while (at < inside.size()) {
    while (at < inside.size() && (IsBlank(inside[at]) || inside[at] == '/')) ++at;
    const std::size_t start = at;
    while (at < inside.size() && !IsBlank(inside[at]) && inside[at] != '=' && inside[at] != '/') ++at;
    std::string attribute;
    for (char c : inside.substr(start, at - start)) attribute += Lower(c);
    while (at < inside.size() && IsBlank(inside[at])) ++at;
    std::string_view value;
    if (at < inside.size() && inside[at] == '=') {
      ++at;
      while (at < inside.size() && IsBlank(inside[at])) ++at;
      if (at < inside.size() && (inside[at] == '"' || inside[at] == '\'')) {
        const char quote = inside[at++];
        const std::size_t end = inside.find(quote, at);
        value = inside.substr(at, (end == std::string_view::npos ? inside.size() : end) - at);
        at = end == std::string_view::npos ? inside.size() : end + 1;
      } else {
        const std::size_t from = at;
        while (at < inside.size() && !IsBlank(inside[at])) ++at;
        value = inside.substr(from, at - from);
      }
    }
    if (attribute == name) return Decoded(value);
    if (at == start) ++at;
  }
  return std::string();
}

std::string Trimmed(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

}  // namespace

std::string Utf8Char(unsigned long code) {
  if (code == 0 || code > kMaxCodePoint || (code >= 0xD800 && code <= 0xDFFF)) code = kReplacement;
  std::string out;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

bool DecodeEntity(std::string_view text, std::size_t at, std::string& utf8, std::size_t& length) {
  const std::size_t end = text.find(';', at);
  if (at >= text.size() || text[at] != '&' || end == std::string_view::npos ||
      end - at > kMaxEntity || end == at + 1) {
    return false;
  }
  const std::string_view body = text.substr(at + 1, end - at - 1);
  if (body[0] == '#') {
    const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
    const std::string digits(body.substr(hex ? 2 : 1));
    if (digits.empty()) return false;
    for (char c : digits) {
      const bool ok = hex ? std::isxdigit(static_cast<unsigned char>(c)) != 0 : (c >= '0' && c <= '9');
      if (!ok) return false;
    }
    utf8 = Utf8Char(std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10));
    length = end - at + 1;
    return true;
  }
  for (const NamedEntity& entity : kEntities) {
    if (body == entity.m_szName) {
      utf8 = Utf8Char(entity.m_nCode);
      length = end - at + 1;
      return true;
    }
  }
  return false;
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string HtmlToText(std::string_view html) {
  if (html.starts_with("\xEF\xBB\xBF")) html.remove_prefix(3);
  CTextOut out;
  int preDepth = 0;
  std::string href;          // the address of the link being read
  std::size_t linkStart = 0;  // where its text begins in the output
  std::size_t at = 0;
  while (at < html.size()) {
    const std::size_t lt = html.find('<', at);
    const std::size_t textEnd = lt == std::string_view::npos ? html.size() : lt;
    if (textEnd > at) out.Text(Decoded(html.substr(at, textEnd - at)), preDepth > 0);
    if (lt == std::string_view::npos) break;
    const char next = lt + 1 < html.size() ? html[lt + 1] : ' ';
    if (!std::isalpha(static_cast<unsigned char>(next)) && next != '/' && next != '!' && next != '?') {
      out.Text("<", preDepth > 0);  // "a < b": no tag
      at = lt + 1;
      continue;
    }
    if (html.substr(lt, 4) == "<!--") {
      const std::size_t close = html.find("-->", lt + 4);
      at = close == std::string_view::npos ? html.size() : close + 3;
      continue;
    }
    const std::size_t gt = html.find('>', lt);
    if (gt == std::string_view::npos) break;
    std::string_view inside = html.substr(lt + 1, gt - lt - 1);
    at = gt + 1;
    const bool closing = !inside.empty() && inside[0] == '/';
    if (closing) inside.remove_prefix(1);
    std::string tag;
    for (std::size_t i = 0; i < inside.size() && IsNameChar(inside[i]); ++i) tag += Lower(inside[i]);
    if (tag.empty()) {
      if (inside.empty() || inside[0] != '!') out.Text(html.substr(lt, gt - lt + 1), preDepth > 0);
      continue;  // "<!DOCTYPE", "<?xml": nothing to show
    }
    if (!closing && IsHidden(tag) && !inside.ends_with("/")) {
      // Everything up to the element's end tag is not for the reader.
      std::size_t search = at;
      for (;;) {
        const std::size_t end = html.find("</", search);
        if (end == std::string_view::npos) {
          at = html.size();
          break;
        }
        std::string name;
        for (std::size_t i = end + 2; i < html.size() && IsNameChar(html[i]); ++i) name += Lower(html[i]);
        if (name == tag) {
          const std::size_t close = html.find('>', end);
          at = close == std::string_view::npos ? html.size() : close + 1;
          break;
        }
        search = end + 2;
      }
      continue;
    }
    if (tag == "pre") preDepth = closing ? (preDepth > 0 ? preDepth - 1 : 0) : preDepth + 1;
    if (tag == "a" && !closing) {
      href = Trimmed(AttributeValue(inside, "href"));
      linkStart = out.m_strText.size();
    } else if (tag == "a" && closing) {
      const std::string shown = Trimmed(out.m_strText.substr(std::min(linkStart, out.m_strText.size())));
      std::string bare = href;
      if (bare.starts_with("mailto:")) bare.erase(0, 7);
      if (!href.empty() && href[0] != '#' && !href.starts_with("javascript:") && shown != href &&
          shown != bare) {
        out.Text(" (" + href + ")", true);
      }
      href.clear();
    } else if (tag == "img" && !closing) {
      const std::string alt = Trimmed(AttributeValue(inside, "alt"));
      if (!alt.empty()) out.Text(alt, false);
    } else if ((tag == "td" || tag == "th") && !closing) {
      out.Text(" ", false);
    }
    const int lines = BreakOf(tag);
    if (lines > 0) out.Break(tag == "br" ? 0 : lines);
    if (tag == "br") out.Text("\n", true);
  }
  return out.Finish();
}

}  // namespace message
