// The run report page: the lines of the report file as rows of a list, the
// newest run on top. Rebuilt from the file each time the page is shown. The
// list is virtual: rows are cut into their fields only when drawn, so a file
// of a million lines lists at once.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <wx/listctrl.h>
#include <wx/panel.h>

// The non-blank lines of the report file, trimmed, oldest first.
class CReportLines {
 public:
  void Clear();
  // Reads `path` in text mode; false (and no lines) when it cannot be opened.
  bool Load(const std::string& path);
  // Appends one line (trimmed; skipped when blank).
  void Add(std::string_view line);
  std::size_t Count() const { return m_lines.size(); }
  std::string_view Line(std::size_t index) const;

 private:
  std::string m_text;
  std::vector<std::pair<std::size_t, std::size_t>> m_lines;  // offset, length
};

// The list view of the page: row 0 is the last line of the file.
class CReportList : public wxListCtrl {
 public:
  CReportList(wxWindow* parent, wxWindowID id, const CReportLines& lines);
  wxString OnGetItemText(long item, long column) const override;

 private:
  const CReportLines& m_lines;
};

class CReportPage : public wxPanel {
 public:
  CReportPage() = default;
  // Creates the page hidden-ready with its five columns.
  bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

  // Moves the page to `rect` (parent's client coordinates) and fits the list
  // to its client area less 3 pixels on every side.
  void PlacePage(const wxRect& rect);
  // Empties the list and refills it from the report file.
  void LoadReport();

  // Sizes the columns to their texts, the status column filling the rest.
  void FitColumns();

  CReportList* m_list = nullptr;  // 1010
  CReportLines m_lines;
};
