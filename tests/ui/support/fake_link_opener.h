// A stand-in for the system's handler of addresses: it records what the
// window asked to open and answers with a chosen result.
#pragma once

#include <vector>

#include <wx/string.h>

#include "platform/shell.h"
#include "ui/common/link_opener.h"

class CFakeLinkOpener : public CLinkOpener {
 public:
  struct COpened {
    wxString m_strTarget;
    int m_nShowCommand = 0;
    bool m_bShellOnly = false;  // ShellOpen rather than OpenUrl
    bool operator==(const COpened&) const = default;
  };

  int OpenUrl(const wxString& url, int showCommand) override {
    m_opened.push_back({url, showCommand, false});
    return m_nResult;
  }
  int ShellOpen(const wxString& target, int showCommand) override {
    m_opened.push_back({target, showCommand, true});
    return m_nResult;
  }

  std::vector<COpened> m_opened;
  // What every open answers.
  int m_nResult = platform::kShellOpened;
};
