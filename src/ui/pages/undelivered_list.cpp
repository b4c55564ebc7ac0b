#include "ui/pages/undelivered_list.h"

#include <algorithm>
#include <string>

#include "ui/common/text.h"

namespace {

enum Column { kRecipientColumn, kResultColumn, kMailFileColumn, kReplyColumn, kColumnCount };
// The newest rows whose texts are measured, as in the run list.
constexpr std::size_t kMeasuredRows = 200;
// A cell's text is drawn within its width less 8 pixels, a title 6 pixels in.
constexpr int kCellMargin = 8;
constexpr int kTitleIndent = 6;

}  // namespace

CUndeliveredList::CUndeliveredList(wxWindow* parent, wxWindowID id)
    : wxListCtrl(parent, id, wxDefaultPosition, wxDefaultSize,
                 wxLC_REPORT | wxLC_VIRTUAL | wxLC_SINGLE_SEL | wxBORDER_SUNKEN) {
  static const char* const kTitles[kColumnCount] = {" 未送达的收件人 ", " 结果 ", " 邮件 ",
                                                    " 服务器回复 "};
  for (int i = 0; i < kColumnCount; ++i) {
    InsertColumn(i, wxString::FromUTF8(kTitles[i]), wxLIST_FORMAT_LEFT);
  }
}

wxString CUndeliveredList::OnGetItemText(long item, long column) const {
  if (item < 0 || static_cast<std::size_t>(item) >= m_rows.size()) return wxString();
  const RecordRow& row = m_rows[static_cast<std::size_t>(item)];
  switch (column) {
    case kRecipientColumn: return FromCodePage(row.m_strRecipient);
    case kResultColumn: return FromCodePage(row.m_strResult);
    case kReplyColumn: return FromCodePage(row.m_strReply);
    case kMailFileColumn: return FromCodePage(row.m_strMailFile);
    default: return wxString();
  }
}

void CUndeliveredList::ShowRows(const std::vector<RecordRow>& rows) {
  m_rows.clear();
  std::copy_if(rows.begin(), rows.end(), std::back_inserter(m_rows),
               [](const RecordRow& row) { return IsUndelivered(row.m_result); });
  SetItemCount(static_cast<long>(m_rows.size()));
  FitColumns();
  Refresh();
}

void CUndeliveredList::FitColumns() {
  int widths[kColumnCount] = {};
  for (int i = 0; i < kColumnCount; ++i) {
    wxListItem column;
    column.SetMask(wxLIST_MASK_TEXT);
    GetColumn(i, column);
    widths[i] = GetTextExtent(column.GetText()).x + kTitleIndent;
  }
  for (std::size_t row = 0; row < std::min(m_rows.size(), kMeasuredRows); ++row) {
    for (int i = 0; i < kColumnCount; ++i) {
      const wxString text = OnGetItemText(static_cast<long>(row), i) + ' ';
      widths[i] = std::max(widths[i], GetTextExtent(text).x + kCellMargin);
    }
  }
  const int others = widths[kRecipientColumn] + widths[kResultColumn] + widths[kMailFileColumn];
  widths[kReplyColumn] = std::max(widths[kReplyColumn], GetClientSize().x - others);
  for (int i = 0; i < kColumnCount; ++i) SetColumnWidth(i, widths[i]);
}
