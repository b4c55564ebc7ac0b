#include "ui/app/mailer_app.h"

#include "ui/app/mailer_dlg.h"
#include "ui/app/process_setup.h"
#include "ui/app/toolkit_checks.h"
#include "ui/common/chinese_locale.h"
#include "ui/common/link_opener.h"

const wxString g_navLabels[7] = {L"选项",     L"SMTP设置", L"目录设置", L"定时设置",
                                 L"运行报告", L"帮助说明", L"版本说明"};
const wxString g_navSubLabels[2] = {L"邮件设置", L"声音设置"};

bool CMailerApp::Initialize(int& argc, wxChar** argv) {
  RouteToolkitChecksToLog();
  NameChineseLocaleForToolkit();
  return wxApp::Initialize(argc, argv);
}

bool CMailerApp::OnInit() {
  SetUpProcess();
  {
    CMailerDlg dlg(SystemLinkOpener());
    if (dlg.Create(nullptr)) {
      SetTopWindow(&dlg);
      dlg.ShowModal();
      SetTopWindow(nullptr);
    }
  }
  // Returning false here would end the process too, but wx reports that as a
  // failed start (exit status 255); OnRun ends it with 0 instead.
  return true;
}

int CMailerApp::OnRun() { return 0; }
