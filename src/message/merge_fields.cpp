#include "message/merge_fields.h"

#include <algorithm>

#include "platform/codepage.h"

namespace message {
namespace {

constexpr std::string_view kOpen = "{{";
constexpr std::string_view kClose = "}}";
// The ideographic space of the code page, a blank as much as " ".
constexpr std::string_view kWideBlank = "\xA1\xA1";

bool IsGbkLead(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// `name` without its blanks (ASCII blanks and tabs, the wide blank).
std::string WithoutBlanks(std::string_view name) {
  std::string bare;
  bare.reserve(name.size());
  for (std::size_t at = 0; at < name.size();) {
    const auto byte = static_cast<unsigned char>(name[at]);
    if (byte == ' ' || byte == '\t') {
      ++at;
    } else if (name.substr(at, kWideBlank.size()) == kWideBlank) {
      at += kWideBlank.size();
    } else if (IsGbkLead(byte) && at + 1 < name.size()) {
      bare.append(name.substr(at, 2));
      at += 2;
    } else {
      bare += name[at++];
    }
  }
  return bare;
}

// The byte length of the character at `text[at]`: in GBK a lead byte takes
// its trail byte along; in UTF-8 every byte stands alone here, since no byte
// of a multi-byte sequence reads as ASCII.
std::size_t Step(std::string_view text, std::size_t at, bool utf8) {
  if (!utf8 && IsGbkLead(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) return 2;
  return 1;
}

// The position of `what` in `text` from `from` on, counting only positions
// where a character starts; npos when there is none.
std::size_t FindAtChar(std::string_view text, std::string_view what, std::size_t from, bool utf8) {
  for (std::size_t at = from; at + what.size() <= text.size(); at += Step(text, at, utf8)) {
    if (text.compare(at, what.size(), what) == 0) return at;
  }
  return std::string_view::npos;
}

}  // namespace

void CFieldRow::Add(std::string title, std::string cell) {
  m_cells.emplace_back(std::move(title), std::move(cell));
}

const std::string* CFieldRow::Find(std::string_view name) const {
  const std::string wanted = WithoutBlanks(name);
  for (const auto& [title, cell] : m_cells) {
    if (WithoutBlanks(title) == wanted) return &cell;
  }
  return nullptr;
}

CMergeText::CMergeText(std::string textIn, bool utf8) : m_strText(std::move(textIn)) {
  const std::string_view text = m_strText;
  std::size_t literal = 0;
  std::size_t at = 0;
  auto addLiteral = [this](std::size_t from, std::size_t to) {
    if (to <= from) return;
    if (!m_pieces.empty() && !m_pieces.back().m_bField) {
      m_pieces.back().m_nLength = to - m_pieces.back().m_nOffset;
    } else {
      m_pieces.push_back({from, to - from, std::string(), false});
    }
  };
  while ((at = FindAtChar(text, kOpen, at, utf8)) != std::string_view::npos) {
    const std::size_t close = FindAtChar(text, kClose, at + kOpen.size(), utf8);
    if (close == std::string_view::npos) break;
    // "{{a {{b}}": the field is the one that opens last before the close.
    const std::size_t reopen = FindAtChar(text.substr(0, close), kOpen, at + 1, utf8);
    if (reopen != std::string_view::npos) {
      at = reopen;
      continue;
    }
    std::string_view raw = text.substr(at + kOpen.size(), close - at - kOpen.size());
    std::string name = utf8 ? WithoutBlanks(platform::FromUtf8(raw)) : WithoutBlanks(raw);
    if (name.empty()) {  // "{{}}" names nothing and stays as written
      at = close;
      continue;
    }
    addLiteral(literal, at);
    m_pieces.push_back({0, 0, std::move(name), true});
    at = literal = close + kClose.size();
  }
  addLiteral(literal, text.size());
}

std::string CMergeText::Merge(const CFieldRow* row, const CellFilter& filter) const {
  std::string merged;
  merged.reserve(m_strText.size());
  MergeInto(merged, row, filter);
  return merged;
}

void CMergeText::MergeInto(std::string& out, const CFieldRow* row, const CellFilter& filter) const {
  if (row == nullptr) {
    out += m_strText;
    return;
  }
  for (const Piece& piece : m_pieces) {
    if (!piece.m_bField) {
      out.append(m_strText, piece.m_nOffset, piece.m_nLength);
      continue;
    }
    const std::string* cell = row->Find(piece.m_strName);
    if (cell == nullptr) continue;
    out += filter ? filter(*cell) : *cell;
  }
}

std::vector<std::string> CMergeText::Fields() const {
  std::vector<std::string> names;
  for (const Piece& piece : m_pieces) {
    if (piece.m_bField && std::find(names.begin(), names.end(), piece.m_strName) == names.end()) {
      names.push_back(piece.m_strName);
    }
  }
  return names;
}

std::vector<std::string> FieldsUsed(std::string_view text) {
  return CMergeText(std::string(text), false).Fields();
}

std::string MergeFields(std::string_view text, const CFieldRow& row, const CellFilter& filter) {
  return CMergeText(std::string(text), false).Merge(&row, filter);
}

}  // namespace message
