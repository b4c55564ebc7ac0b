// The report page's second list: the recipients a run's record lists as not
// delivered (被拒收, 暂时失败, 未发送), with the server's last reply. Virtual,
// so a record of a large run lists at once.
#pragma once

#include <vector>

#include <wx/listctrl.h>

#include "dispatch/delivery_verdict.h"
#include "dispatch/send_record_reader.h"

class CUndeliveredList : public wxListCtrl {
 public:
  CUndeliveredList(wxWindow* parent, wxWindowID id);
  wxString OnGetItemText(long item, long column) const override;

  // Lists the undelivered ones of `rows` (all of them when `rows` holds only
  // such), in the record's order.
  void ShowRows(const std::vector<RecordRow>& rows);
  const std::vector<RecordRow>& Rows() const { return m_rows; }
  // Sizes the columns to their texts, the reply filling the rest.
  void FitColumns();

 private:
  std::vector<RecordRow> m_rows;
};
