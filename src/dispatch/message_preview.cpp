#include "dispatch/message_preview.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "addresses/address_source.h"
#include "dispatch/message_size.h"
#include "message/merge_fields.h"
#include "platform/codepage.h"
#include "platform/dirs.h"
#include "platform/journal_file.h"

namespace {

struct PreviewTexts {
  std::string m_strMailDir = platform::FromUtf8("邮件目录 <");
  std::string m_strNoMail = platform::FromUtf8("> 中没有邮件。");
  std::string m_strMail = platform::FromUtf8("邮件 ");
  std::string m_strRow = platform::FromUtf8(" 第 ");
  std::string m_strEmptyField = platform::FromUtf8(" 行的字段 {{");
  std::string m_strIsEmpty = platform::FromUtf8("}} 是空的。");
  std::string m_strLarge = platform::FromUtf8(" 大小 ");
  std::string m_strOverLimit = platform::FromUtf8(" MB, 超过 10 MB, 有的邮箱会拒收。");
  std::string m_strNoRecipients = platform::FromUtf8("地址列表中没有收件人。");
  std::string m_strNotAFile = platform::FromUtf8("邮件地址列表 ");
  std::string m_strNotRead = platform::FromUtf8(" 不是普通文件 (如管道), 预览不读取它。");
};

const PreviewTexts& T() {
  static const PreviewTexts texts;
  return texts;
}

std::string Megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

// The recipients as a To line shows them: "name <address>", joined by ", ".
std::string ToText(const CMailItem& item) {
  std::string to;
  for (const MailRecipient& recipient : item.Recipients()) {
    if (!to.empty()) to += ", ";
    to += recipient.m_strName.empty() ? recipient.m_strAddress
                                      : recipient.m_strName + " <" + recipient.m_strAddress + ">";
  }
  return to;
}

// The warnings for fields `file`, the subject or the unsubscribe address use
// whose cell of `entry` is empty, each field once.
std::vector<std::string> EmptyFields(const RunMailFile& file, const addresses::AddressEntry* entry,
                                     const CMailSource& source) {
  std::vector<std::string> warnings;
  if (entry == nullptr || entry->m_pFields == nullptr) return warnings;
  std::vector<std::string> used = file.m_template.FieldsUsed();
  const std::string& subject = entry->m_strSubject.empty() ? source.m_strSubject : entry->m_strSubject;
  for (const std::string& text : {subject, source.m_strUnsubscribe}) {
    for (std::string& field : message::FieldsUsed(text)) used.push_back(std::move(field));
  }
  std::vector<std::string> named;
  for (const std::string& field : used) {
    const std::string* cell = entry->m_pFields->Find(field);
    if (cell == nullptr || !cell->empty()) continue;
    if (std::find(named.begin(), named.end(), field) != named.end()) continue;
    named.push_back(field);
    warnings.push_back(T().m_strMail + file.m_strName + T().m_strRow + std::to_string(entry->m_nNumber) +
                       T().m_strEmptyField + field + T().m_strIsEmpty);
  }
  return warnings;
}

}  // namespace

struct CMessagePreview::State {
  CMailSource m_source;
  CSmtpAccount m_account;
  CRunMail m_mail;
  std::filesystem::path m_folder;
  std::vector<addresses::AddressEntry> m_rows;  // a table's point into m_mail's table
  std::vector<RunProblem> m_problems;           // what stops the run, as Open found it
  std::string m_listWarning;                    // why the list was not read; "" when it was
  message::ComposeOptions m_options;
};

CMessagePreview::CMessagePreview() : m_state(std::make_unique<State>()) {}
CMessagePreview::~CMessagePreview() = default;

bool CMessagePreview::Open(const CMailSource& source, const CSmtpAccount& account,
                           const std::filesystem::path& startDir, std::string& error) {
  m_state = std::make_unique<State>();
  State& state = *m_state;
  state.m_source = source;
  state.m_account = account;
  state.m_options = RunComposeOptions(source, account.m_strMail);
  std::vector<platform::DirEntry> entries;
  if (!source.m_strMailDir.empty()) {
    state.m_folder = platform::FindNativePath(source.m_strMailDir, startDir);
    platform::ListDirectory(platform::PathToCodePage(state.m_folder), entries);
  }
  const std::filesystem::path list = source.m_strAddressFile.empty()
                                         ? std::filesystem::path()
                                         : platform::FindNativePath(source.m_strAddressFile, startDir);
  CRunMail::Scope scope;
  scope.m_bEveryRow = true;
  CMailSource looked = source;
  platform::FileStamp stamp;
  std::error_code ec;
  if (!list.empty() && !platform::StampFile(list, stamp) && std::filesystem::exists(list, ec)) {
    // A pipe would hold the window until something writes to it, and what
    // the preview read the run would never get: it is left alone.
    state.m_listWarning = T().m_strNotAFile + source.m_strAddressFile + T().m_strNotRead;
    looked.m_strAddressFile.clear();
    scope.m_bListWanted = false;
  }
  state.m_mail.Prepare(entries, state.m_folder, list, looked,
                       [&state](const RunProblem& problem, std::size_t) {
                         state.m_problems.push_back(problem);
                         return true;
                       },
                       scope);
  if (state.m_mail.Mail().empty()) {
    error = T().m_strMailDir + source.m_strMailDir + T().m_strNoMail;
    return false;
  }
  if (state.m_mail.ListOpen()) {
    addresses::AddressEntry entry;
    while (state.m_mail.List().Next(entry)) state.m_rows.push_back(entry);
  }
  return true;
}

int CMessagePreview::MailCount() const { return static_cast<int>(m_state->m_mail.Mail().size()); }

int CMessagePreview::RowCount() const { return static_cast<int>(m_state->m_rows.size()); }

bool CMessagePreview::Make(int mail, int row, PreviewPage& page, CMailItem* item) {
  State& state = *m_state;
  page = PreviewPage();
  // Without recipients the first "row" still shows the mail itself.
  const int rows = RowCount();
  if (mail < 0 || mail >= MailCount() || row < 0 || row >= (rows == 0 ? 1 : rows)) return false;
  const RunMailFile& file = state.m_mail.Mail()[static_cast<std::size_t>(mail)];
  page.m_strMailFile = file.m_strName;
  page.m_strFrom = state.m_account.m_strMail;
  page.m_htmlFolder = file.m_native.parent_path();
  if (!file.m_bLoaded) {
    for (const RunProblem& problem : state.m_problems) {
      if (problem.m_strText.find(file.m_strName) != std::string::npos) {
        page.m_warnings.push_back(problem.m_strText);
      }
    }
    return false;
  }
  const addresses::AddressEntry* entry = rows == 0 ? nullptr : &state.m_rows[static_cast<std::size_t>(row)];
  const message::CFieldRow* fields = entry == nullptr ? nullptr : entry->m_pFields;
  const std::string subject =
      entry == nullptr || entry->m_strSubject.empty() ? state.m_source.m_strSubject : entry->m_strSubject;
  page.m_nRow = entry == nullptr ? 0 : entry->m_nNumber;

  CMailItem composed;
  file.m_template.Compose(fields, subject, state.m_options, composed);
  if (entry != nullptr) composed.AddRecipientList(entry->m_strLine);
  composed.m_strSender = state.m_account.m_strMail;
  page.m_strTo = ToText(composed);
  page.m_strSubject = composed.m_strSubject;
  page.m_strText = file.m_template.TextFor(fields, state.m_options);
  page.m_strHtml = file.m_template.IsHtml() ? file.m_template.HtmlFor(fields, state.m_options) : "";
  page.m_attachments = file.m_template.Attachments();
  page.m_nMessageSize = MessageSizeAsSent(composed);

  if (entry == nullptr) {
    page.m_warnings.push_back(state.m_listWarning.empty() ? T().m_strNoRecipients : state.m_listWarning);
  }
  for (std::string& warning : EmptyFields(file, entry, state.m_source)) {
    page.m_warnings.push_back(std::move(warning));
  }
  if (page.m_nMessageSize > kLargeMessageBytes) {
    page.m_warnings.push_back(T().m_strMail + file.m_strName + T().m_strLarge +
                              Megabytes(page.m_nMessageSize) + T().m_strOverLimit);
  }
  if (item != nullptr) *item = std::move(composed);
  return true;
}

std::vector<RunProblem> CMessagePreview::CheckAll() {
  const State& state = *m_state;
  std::vector<RunProblem> problems = state.m_problems;
  std::vector<RunProblem> warnings;
  if (!state.m_listWarning.empty()) warnings.push_back(RunProblem{state.m_listWarning, false});
  for (int mail = 0; mail < MailCount(); ++mail) {
    const RunMailFile& file = state.m_mail.Mail()[static_cast<std::size_t>(mail)];
    if (!file.m_bLoaded) continue;
    // The first row's message as a whole (its size stands for every row's),
    // then each further row's empty cells: no message composed per row.
    PreviewPage page;
    Make(mail, 0, page);
    for (const std::string& warning : page.m_warnings) {
      // A list that could not be opened or read has said so already.
      if (warning == T().m_strNoRecipients && !state.m_problems.empty()) continue;
      if (!state.m_listWarning.empty() && warning == state.m_listWarning) continue;  // told first
      warnings.push_back(RunProblem{warning, false});
    }
    for (std::size_t row = 1; row < state.m_rows.size(); ++row) {
      for (std::string& warning : EmptyFields(file, &state.m_rows[row], state.m_source)) {
        warnings.push_back(RunProblem{std::move(warning), false});
      }
    }
  }
  problems.insert(problems.end(), warnings.begin(), warnings.end());
  return problems;
}
