#include "ui/pages/report_page.h"

#include <algorithm>
#include <system_error>

#include <wx/button.h>

#include "dispatch/run_report.h"
#include "platform/codepage.h"
#include "platform/dirs.h"
#include "platform/shell.h"
#include "platform/textfile.h"
#include "ui/common/file_target.h"
#include "ui/common/link_opener.h"
#include "ui/common/message_box.h"
#include "ui/common/page_colour.h"
#include "ui/common/template_font.h"
#include "ui/common/text.h"
#include "ui/pages/undelivered_list.h"

void CReportLines::Clear() {
  m_text.clear();
  m_lines.clear();
}

bool CReportLines::Load(const std::string& path) {
  Clear();
  platform::CTextFileReader reader;
  if (!reader.Open(path)) return false;
  std::string line;
  while (reader.ReadLine(line)) Add(line);
  return true;
}

void CReportLines::Add(std::string_view line) {
  std::string trimmed = TrimWhiteSpace(std::string(line));
  if (trimmed.empty()) return;
  m_lines.emplace_back(m_text.size(), trimmed.size());
  m_text.append(trimmed);
}

std::string_view CReportLines::Line(std::size_t index) const {
  auto [offset, length] = m_lines[index];
  return std::string_view(m_text).substr(offset, length);
}

CReportList::CReportList(wxWindow* parent, wxWindowID id, const CReportLines& lines)
    : wxListCtrl(parent, id, wxDefaultPosition, wxDefaultSize,
                 wxLC_REPORT | wxLC_VIRTUAL | wxBORDER_SUNKEN),
      m_lines(lines) {}

wxString CReportList::OnGetItemText(long item, long column) const {
  std::size_t count = m_lines.Count();
  if (item < 0 || static_cast<std::size_t>(item) >= count || column < 0 || column > 4) {
    return wxString();
  }
  ReportFields fields;
  SplitReportLine(std::string(m_lines.Line(count - 1 - static_cast<std::size_t>(item))), fields);
  const std::string* cells[] = {&fields.m_strDate, &fields.m_strTime, &fields.m_strMailCount,
                                &fields.m_strAddressCount, &fields.m_strStatus};
  return FromCodePage(*cells[column]);
}

std::string CReportList::StatusOf(long item) const {
  const std::size_t count = m_lines.Count();
  if (item < 0 || static_cast<std::size_t>(item) >= count) return std::string();
  ReportFields fields;
  SplitReportLine(std::string(m_lines.Line(count - 1 - static_cast<std::size_t>(item))), fields);
  return fields.m_strStatus;
}

bool CReportPage::Create(wxWindow* parent, wxWindowID id) {
  if (!wxPanel::Create(parent, id, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL)) {
    return false;
  }
  ApplyTemplateFont(this);
  UseDialogColour(this);
  m_list = new CReportList(this, 1010, m_lines);
  static const char* const kTitles[] = {"    日期    ", "  时间  ", " 邮件 ", " 地址 ",
                                        "   状态   "};
  for (int i = 0; i < 5; ++i) {
    m_list->InsertColumn(i, wxString::FromUTF8(kTitles[i]), wxLIST_FORMAT_LEFT);
  }
  m_undelivered = new CUndeliveredList(this, 1013);
  m_btnRetry = new wxButton(this, 1011, wxString::FromUTF8("重发未送达"));
  m_btnOpenRecord = new wxButton(this, 1012, wxString::FromUTF8("打开记录"));
  m_btnRetry->Disable();
  m_btnOpenRecord->Disable();
  FitColumns();
  m_list->Bind(wxEVT_LIST_ITEM_SELECTED, &CReportPage::OnRunSelected, this);
  m_btnRetry->Bind(wxEVT_BUTTON, &CReportPage::OnRetry, this);
  m_btnOpenRecord->Bind(wxEVT_BUTTON, &CReportPage::OnOpenRecord, this);
  return true;
}

namespace {

// The newest rows whose texts are measured; the rest of a long file is not
// read for this, so that it still lists at once.
constexpr std::size_t kMeasuredRows = 200;
// The list draws a cell's text, blanks and all, from the cell's left edge
// within the cell's width less 8 pixels, and cuts what does not fit there
// with "...". The fields keep the blanks of the " , " separators, so a text
// ends in a blank that keeps it clear of the next column.
constexpr int kCellMargin = 8;
// A column title is drawn, blanks and all, 6 pixels in from the column's
// left edge and cut at its right edge; its blanks, on both sides, are what
// make a column wider than its words.
constexpr int kTitleIndent = 6;
constexpr int kStatusColumn = 4;
// The page's parts keep this far from its edges and from each other.
constexpr int kPageMargin = 3;
// The undelivered list's share of the height the lists have.
constexpr int kUndeliveredPercent = 40;
constexpr int kPercent = 100;

}  // namespace

// Each column is as wide as its title or the widest cell of the newest rows,
// as the list draws them; the status column
// also fills what is left of the list. The rows thus read whole, and without
// scrolling sideways whenever the four short columns leave the status room.
void CReportPage::FitColumns() {
  int widths[5] = {};
  for (int i = 0; i < 5; ++i) {
    wxListItem column;
    column.SetMask(wxLIST_MASK_TEXT);
    m_list->GetColumn(i, column);
    widths[i] = m_list->GetTextExtent(column.GetText()).x + kTitleIndent;
  }
  const std::size_t count = m_lines.Count();
  for (std::size_t row = 0; row < std::min(count, kMeasuredRows); ++row) {
    for (int i = 0; i < 5; ++i) {
      const wxString text = m_list->OnGetItemText(static_cast<long>(row), i);
      widths[i] = std::max(widths[i], m_list->GetTextExtent(text).x + kCellMargin);
    }
  }
  const int used = widths[0] + widths[1] + widths[2] + widths[3];
  widths[kStatusColumn] = std::max(widths[kStatusColumn], m_list->GetClientSize().x - used);
  for (int i = 0; i < 5; ++i) m_list->SetColumnWidth(i, widths[i]);
}

void CReportPage::PlacePage(const wxRect& rect) {
  SetSize(rect);
  Refresh();
  const wxSize client = GetClientSize();
  const wxSize retry = m_btnRetry->GetBestSize();
  const wxSize open = m_btnOpenRecord->GetBestSize();
  const int buttonH = std::max(retry.y, open.y);
  const int buttonY = client.y - kPageMargin - buttonH;
  const int width = client.x - 2 * kPageMargin;
  const int listsH = buttonY - 3 * kPageMargin;
  const int undeliveredH = listsH * kUndeliveredPercent / kPercent;
  m_list->SetSize(kPageMargin, kPageMargin, width, listsH - undeliveredH);
  m_undelivered->SetSize(kPageMargin, 2 * kPageMargin + listsH - undeliveredH, width, undeliveredH);
  const int openX = client.x - kPageMargin - open.x;
  m_btnOpenRecord->SetSize(openX, buttonY, open.x, buttonH);
  m_btnRetry->SetSize(openX - kPageMargin - retry.x, buttonY, retry.x, buttonH);
  FitColumns();
  m_undelivered->FitColumns();
}

void CReportPage::LoadReport() {
  m_list->SetItemCount(0);
  m_lines.Load(ReportFileName());
  m_list->SetItemCount(static_cast<long>(m_lines.Count()));
  FitColumns();
  m_list->Refresh();
  if (m_lines.Count() > 0) {
    m_list->SetItemState(0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                         wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
  }
  SelectRun(m_lines.Count() > 0 ? 0 : -1);
}

namespace {

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, error);
}

}  // namespace

// 重发未送达 sends again from the newest record: it is offered only for the
// run that made it, and only when that record holds a recipient worth
// trying again (one refused for good is not).
void CReportPage::SelectRun(long row) {
  const std::filesystem::path startDir = platform::WorkingDirPath();
  std::vector<RecordRow> rows;
  m_recordPath = row < 0 ? std::filesystem::path()
                         : RecordPathFromStatus(startDir, m_list->StatusOf(row));
  if (!m_recordPath.empty() && !ReadSendRecord(m_recordPath, rows)) m_recordPath.clear();
  m_undelivered->ShowRows(rows);
  const bool worthRetrying =
      std::any_of(rows.begin(), rows.end(),
                  [](const RecordRow& r) { return IsWorthRetrying(r.m_result); });
  m_btnRetry->Enable(worthRetrying && SameFile(m_recordPath, NewestRecord(startDir)));
  m_btnOpenRecord->Enable(!m_recordPath.empty());
}

void CReportPage::OnRunSelected(wxListEvent& event) { SelectRun(event.GetIndex()); }

void CReportPage::OnRetry(wxCommandEvent&) {
  if (m_onRetryFailed) m_onRetryFailed();
}

void CReportPage::OnOpenRecord(wxCommandEvent&) {
  if (m_recordPath.empty()) return;
  const wxString path = FromCodePage(platform::PathToCodePage(m_recordPath));
  if (!platform::IsOpened(m_opener.ShellOpen(FileOpenTarget(path), platform::kShowNormal))) {
    AppMessageBox(wxString::FromUTF8("无法打开发送记录:\n") + path, wxOK | wxICON_EXCLAMATION, this);
  }
}
