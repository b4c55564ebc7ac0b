// The mail source page's 预览 and 发送测试邮件: the run's inputs as the pages'
// controls hold them now (mail source and SMTP account), opened as a run
// would open them from the working directory; the preview window; and one
// message sent to one typed address, on the window's thread as runs are,
// without journal, record or report line.
#pragma once

class CMessagePreview;
class CWindowBatchHost;
class wxWindow;

class CPreviewActions {
 public:
  // `window` parents the dialogs; both must outlive this object.
  CPreviewActions(wxWindow& window, CWindowBatchHost& runs) : m_window(window), m_runs(runs) {}

  // 预览: the preview window on the first message, or a box that says why
  // there is nothing to show.
  void ShowPreview();
  // 发送测试邮件 on the page: the first message (first mail file, first row).
  void TestSendFirst();

 private:
  // False, after a box that says why and what to do, when the inputs cannot
  // be opened or hold no message.
  bool Open(CMessagePreview& preview, wxWindow* parent);
  // Asks for the address (the account's sender by default), sends message
  // `mail` x `row` there and says whether the server took it.
  void TestSend(CMessagePreview& preview, int mail, int row, wxWindow* parent);

  wxWindow& m_window;
  CWindowBatchHost& m_runs;
};
