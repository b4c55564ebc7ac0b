// A look at the messages of a run before it goes: every check the run makes
// before its first message, for every mail file x row, and each message as
// it would go out; and a test send of one of them to one address, outside
// any run (no journal, record or report line).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dispatch/message_send.h"
#include "dispatch/run_mail.h"  // RunProblem
#include "message/mail_template.h"
#include "settings/mail_source.h"
#include "settings/smtp_account.h"
#include "smtp/mail_item.h"

// Above this size a message draws a warning.
inline constexpr std::uint64_t kLargeMessageBytes = 10ull * 1024 * 1024;

// One message as it would go out.
struct PreviewPage {
  std::string m_strMailFile;  // the mail file's name (code page)
  int m_nRow = 0;             // the table row or address line, from 1
  std::string m_strFrom;
  std::string m_strTo;        // as the To line shows it (code page)
  std::string m_strSubject;   // merged
  std::string m_strText;      // the text part
  std::string m_strHtml;      // the HTML, merged (code page); "" for a plain text
  std::filesystem::path m_htmlFolder;  // where the HTML's relative pictures are
  std::vector<message::AttachmentInfo> m_attachments;
  std::uint64_t m_nMessageSize = 0;  // the whole message's bytes as sent
  std::vector<std::string> m_warnings;  // code page
};

class CMessagePreview {
 public:
  CMessagePreview();
  ~CMessagePreview();

  // Opens the run's inputs as a run finds them from `startDir`: the mail
  // folder's files and the address list. False with `error` (code page)
  // when there is nothing to show.
  bool Open(const CMailSource& source, const CSmtpAccount& account,
            const std::filesystem::path& startDir, std::string& error);
  int MailCount() const;
  int RowCount() const;
  // Message `mail` x `row` (both from 0). `item`, when given, receives it
  // ready to send. False when out of range or the mail file cannot be used
  // (`page.m_warnings` says why).
  bool Make(int mail, int row, PreviewPage& page, CMailItem* item = nullptr);
  // Every problem of every mail file x row, as the run would meet it before
  // its first message, then the warnings.
  std::vector<RunProblem> CheckAll();

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

// Sends `item` to `address` only, whatever recipients it had (the To line
// names `address`). True when the server took it; `error` otherwise.
bool SendTestMessage(const MessageTarget& target, CMailItem item, const std::string& address,
                     std::string& error);
