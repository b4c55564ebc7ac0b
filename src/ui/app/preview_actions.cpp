#include "ui/app/preview_actions.h"

#include <string>
#include <vector>

#include <wx/textdlg.h>

#include "dispatch/message_preview.h"
#include "platform/dirs.h"
#include "ui/app/window_batch_host.h"
#include "ui/common/message_box.h"
#include "ui/common/text.h"
#include "ui/pages/preview_dialog.h"

namespace {

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

// The lines of `lines` (code page) under each other.
wxString Lines(const std::vector<std::string>& lines) {
  wxString text;
  for (const std::string& line : lines) text += "\n" + FromCodePage(line);
  return text;
}

}  // namespace

bool CPreviewActions::Open(CMessagePreview& preview, wxWindow* parent) {
  std::string error;
  if (!preview.Open(m_runs.TakeMailSource(), m_runs.TakeSmtpAccount(), platform::WorkingDirPath(),
                    error)) {
    AppMessageBox(U("无法预览邮件: ") + FromCodePage(error) +
                      U("\n\n请在目录设置中检查邮件保存目录和邮件地址文件, 然后再试。"),
                  wxOK | wxICON_EXCLAMATION, parent);
    return false;
  }
  return true;
}

void CPreviewActions::ShowPreview() {
  if (m_runs.IsRunning()) {
    AppMessageBox(U("正在发送邮件, 请等发送结束后再预览。"), wxOK | wxICON_EXCLAMATION, &m_window);
    return;
  }
  CMessagePreview preview;
  if (!Open(preview, &m_window)) return;
  CPreviewDialog dialog(&m_window, preview);
  // What would stop the run, beside each message's own warnings.
  std::vector<wxString> stops;
  for (const RunProblem& problem : preview.CheckAll()) {
    if (problem.m_bStopsRun) stops.push_back(FromCodePage(problem.m_strText));
  }
  dialog.SetRunProblems(stops);
  dialog.m_onTestSend = [&](int mail, int row) { TestSend(preview, mail, row, &dialog); };
  dialog.ShowModal();
}

void CPreviewActions::TestSendFirst() {
  if (m_runs.IsRunning()) {
    AppMessageBox(U("正在发送邮件, 请等发送结束后再发送测试邮件。"), wxOK | wxICON_EXCLAMATION,
                  &m_window);
    return;
  }
  CMessagePreview preview;
  if (!Open(preview, &m_window)) return;
  TestSend(preview, 0, 0, &m_window);
}

void CPreviewActions::TestSend(CMessagePreview& preview, int mail, int row, wxWindow* parent) {
  PreviewPage page;
  CMailItem item;
  if (!preview.Make(mail, row, page, &item)) {
    AppMessageBox(U("无法生成测试邮件:") + Lines(page.m_warnings), wxOK | wxICON_EXCLAMATION, parent);
    return;
  }
  // The address the account sends from, as the SMTP page holds it now.
  const wxString sender = FromCodePage(m_runs.TakeSmtpAccount().m_strMail);
  wxTextEntryDialog ask(parent, U("把这封邮件发送到哪个地址?"), U("发送测试邮件"), sender);
  if (ask.ShowModal() != wxID_OK) return;
  const wxString address = ask.GetValue().Strip(wxString::both);
  if (address.empty() || !address.Contains("@")) {
    AppMessageBox(U("请填入一个邮件地址, 如 name@example.com。"), wxOK | wxICON_EXCLAMATION, parent);
    return;
  }

  auto* previewDialog = dynamic_cast<CPreviewDialog*>(parent);
  if (previewDialog != nullptr) previewDialog->SetSending(true);
  bool sent = false;
  std::string error;
  const bool ran = m_runs.RunTestSend([&] {
    sent = SendTestMessage(m_runs.Target(), item, ToCodePage(address), error);
  });
  if (previewDialog != nullptr) previewDialog->SetSending(false);
  if (!ran) {
    AppMessageBox(U("正在发送邮件, 请等发送结束后再发送测试邮件。"), wxOK | wxICON_EXCLAMATION,
                  parent);
  } else if (sent) {
    AppMessageBox(U("测试邮件已发送到 ") + address + U("。"), wxOK | wxICON_INFORMATION, parent);
  } else {
    AppMessageBox(U("测试邮件发送失败: ") + FromCodePage(error), wxOK | wxICON_EXCLAMATION, parent);
  }
}
