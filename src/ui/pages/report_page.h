// The run report page: the lines of the report file as rows of a list, the
// newest run on top. Rebuilt from the file each time the page is shown. The
// list is virtual: rows are cut into their fields only when drawn, so a file
// of a million lines lists at once. Under it, for the selected run, the
// recipients its record lists as not delivered, 重发未送达 and 打开记录.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <wx/listctrl.h>
#include <wx/panel.h>

class CLinkOpener;
class CUndeliveredList;
class wxButton;
class wxCommandEvent;
class wxListEvent;

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
  // The status field of a row (code page).
  std::string StatusOf(long item) const;

 private:
  const CReportLines& m_lines;
};

class CReportPage : public wxPanel {
 public:
  // 打开记录 opens the record through `opener`, which must outlive the page.
  explicit CReportPage(CLinkOpener& opener) : m_opener(opener) {}
  // Creates the page hidden-ready with its lists and buttons.
  bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

  // Moves the page to `rect` (parent's client coordinates) and lays out its
  // client area, 3 pixels in on every side: the run list on top, the
  // undelivered list under it, the buttons at the bottom right.
  void PlacePage(const wxRect& rect);
  // Empties the list and refills it from the report file; the newest run is
  // selected.
  void LoadReport();
  // Shows what the record of the run in `row` lists as not delivered, and
  // enables the buttons for it.
  void SelectRun(long row);

  // Sizes the columns to their texts, the status column filling the rest.
  void FitColumns();

  CReportList* m_list = nullptr;  // 1010
  CReportLines m_lines;
  CUndeliveredList* m_undelivered = nullptr;  // 1013
  wxButton* m_btnRetry = nullptr;             // 1011: 重发未送达
  wxButton* m_btnOpenRecord = nullptr;        // 1012: 打开记录
  // The selected run's record; empty when it names none.
  std::filesystem::path m_recordPath;
  // Runs 重发未送达 (the window's batch host).
  std::function<void()> m_onRetryFailed;

 private:
  void OnRunSelected(wxListEvent& event);
  void OnRetry(wxCommandEvent& event);
  void OnOpenRecord(wxCommandEvent& event);

  CLinkOpener& m_opener;
};
