// Personal fields: "{{列名}}" in a subject or a mail text stands for that
// column's cell of the address table's row the message goes to. Blanks
// inside the braces are ignored ("{{ 公司 }}" is "{{公司}}"). Texts are in
// the code page.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace message {

// One row of the address table: every column's title and its cell, in the
// table's order (code page).
class CFieldRow {
 public:
  void Add(std::string title, std::string cell);
  // The cell of the column whose title, without its blanks, is `name`
  // without its blanks; nullptr when the table has no such column.
  const std::string* Find(std::string_view name) const;
  const std::vector<std::pair<std::string, std::string>>& Cells() const { return m_cells; }
  bool Empty() const { return m_cells.empty(); }

 private:
  std::vector<std::pair<std::string, std::string>> m_cells;
};

// The field names `text` uses, blanks removed, each once, in the order of
// their first use.
std::vector<std::string> FieldsUsed(std::string_view text);

// How a cell becomes text of the part it is put into (HTML escaping, another
// charset); nullptr: as it is.
using CellFilter = std::function<std::string(const std::string& cell)>;

// `text` with every field replaced by its cell of `row`, passed through
// `filter`. A field the row lacks is replaced by nothing (the checks before a
// run stop it first). Text that only looks like a field ("{{" without "}}")
// stays as written.
std::string MergeFields(std::string_view text, const CFieldRow& row,
                        const CellFilter& filter = nullptr);

// A text cut once into its literal stretches and its fields, to be merged
// with many rows. The text is GBK (a lead byte and its trail byte are one
// character, so a trail byte that reads as "{" or "}" is no brace) or UTF-8;
// field names are kept in the code page either way.
class CMergeText {
 public:
  CMergeText() = default;
  CMergeText(std::string text, bool utf8);
  // The text with its fields replaced (a field the row lacks, or no row at
  // all, gives the field's place nothing when `row` is given; with `row`
  // nullptr the text stays exactly as written).
  std::string Merge(const CFieldRow* row, const CellFilter& filter = nullptr) const;
  // The same, appended to `out`, so that a caller that reserved room for
  // more makes no second copy of a large text.
  void MergeInto(std::string& out, const CFieldRow* row, const CellFilter& filter = nullptr) const;
  // The field names, each once, in the order of their first use.
  std::vector<std::string> Fields() const;
  // The text as written.
  const std::string& Text() const { return m_strText; }

 private:
  // A literal stretch of the text (by its place in it, so that a large
  // text is held once) or a field name (code page, no blanks).
  struct Piece {
    std::size_t m_nOffset = 0;
    std::size_t m_nLength = 0;
    std::string m_strName;
    bool m_bField = false;
  };
  std::string m_strText;
  std::vector<Piece> m_pieces;
};

}  // namespace message
