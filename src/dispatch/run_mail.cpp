#include "dispatch/run_mail.h"

#include <algorithm>
#include <utility>

#include "dispatch/footer.h"
#include "dispatch/recipient_filter.h"
#include "message/merge_fields.h"
#include "platform/codepage.h"
#include "smtp/mail_item.h"

namespace {

struct RunMailTexts {
  std::string m_strNoAddressFile = platform::FromUtf8("没有设置邮件地址列表文件.");
  std::string m_strMail = platform::FromUtf8("邮件 ");
  std::string m_strUses = platform::FromUtf8(" 用到的字段 {{");
  std::string m_strMissing = platform::FromUtf8("}} 在地址表中没有。");
  std::string m_strSubject = platform::FromUtf8("邮件主题");
  std::string m_strUnsubscribe = platform::FromUtf8("退订地址");
  std::string m_strTable = platform::FromUtf8("地址表 ");
  std::string m_strRow = platform::FromUtf8(" 第 ");
  std::string m_strRowSubject = platform::FromUtf8(" 行的主题");
};

const RunMailTexts& T() {
  static const RunMailTexts texts;
  return texts;
}

std::string MissingField(const std::string& user, const std::string& field) {
  return user + T().m_strUses + field + T().m_strMissing;
}

}  // namespace

bool CRunMail::Prepare(const std::vector<platform::DirEntry>& entries,
                       const std::filesystem::path& folder, const std::filesystem::path& list,
                       const CMailSource& source, const ProblemSink& sink, const Scope& scope) {
  const std::vector<std::string>* only = scope.m_pOnly;
  m_mail.clear();
  m_rowOfAddress.clear();
  m_bListOpen = false;
  bool any = false;
  auto report = [&](const std::string& text, std::size_t mail) {
    any = true;
    return sink(RunProblem{text, true}, mail);
  };

  for (const platform::DirEntry& entry : entries) {
    if (entry.m_bDirectory || entry.m_bSpecial) continue;
    if (only != nullptr && std::find(only->begin(), only->end(), entry.m_strName) == only->end()) {
      continue;
    }
    RunMailFile mail;
    mail.m_strName = entry.m_strName;
    mail.m_native = folder.empty() ? entry.m_native : folder / entry.m_native;
    m_mail.push_back(std::move(mail));
  }
  for (std::size_t i = 0; i < m_mail.size(); ++i) {
    std::string error;
    m_mail[i].m_bLoaded = m_mail[i].m_template.Load(m_mail[i].m_native, error);
    if (!m_mail[i].m_bLoaded && !report(error, i)) return false;
  }
  if (m_mail.empty()) return !any;

  if (source.m_strAddressFile.empty()) {
    if (!scope.m_bListWanted) return !any;
    report(T().m_strNoAddressFile, 0);
    return false;
  }
  std::string error;
  std::vector<std::string> rowErrors;
  if (!m_list.Open(list, source.m_strAddressFile, error, scope.m_bEveryRow ? &rowErrors : nullptr)) {
    report(error, 0);
    return false;
  }
  m_bListOpen = true;
  for (const std::string& problem : rowErrors) {
    if (!report(problem, 0)) return false;
  }
  const addresses::CAddressTable* table = m_list.Table();
  if (table == nullptr) return !any;  // a plain list replaces no field

  message::CFieldRow titles;
  for (const std::string& title : table->Titles()) titles.Add(title, std::string());
  auto check = [&](const std::string& text, const std::string& user, std::size_t mail) {
    for (const std::string& field : message::FieldsUsed(text)) {
      if (titles.Find(field) == nullptr && !report(MissingField(user, field), mail)) return false;
    }
    return true;
  };
  if (!check(source.m_strSubject, T().m_strSubject, 0)) return false;
  if (!check(source.m_strUnsubscribe, T().m_strUnsubscribe, 0)) return false;
  const std::string tableName = T().m_strTable + platform::PathToCodePage(list.filename());
  for (const addresses::TableRow& row : table->Rows()) {
    const std::string user = tableName + T().m_strRow + std::to_string(row.m_nRow) + T().m_strRowSubject;
    if (!check(row.m_strSubject, user, 0)) return false;
  }
  for (std::size_t i = 0; i < m_mail.size(); ++i) {
    if (!m_mail[i].m_bLoaded) continue;
    for (const std::string& field : m_mail[i].m_template.FieldsUsed()) {
      if (titles.Find(field) == nullptr &&
          !report(MissingField(T().m_strMail + m_mail[i].m_strName, field), i)) {
        return false;
      }
    }
  }
  return !any;
}

const RunMailFile* CRunMail::FindMail(const std::string& name) const {
  for (const RunMailFile& mail : m_mail) {
    if (mail.m_strName == name) return &mail;
  }
  return nullptr;
}

int CRunMail::RowOf(const std::string& address) {
  const addresses::CAddressTable* table = m_list.Table();
  if (table == nullptr) return 0;
  if (m_rowOfAddress.empty()) {
    for (const addresses::TableRow& row : table->Rows()) {
      CMailItem parsed;
      parsed.AddRecipientList(row.m_strLine);
      for (const MailRecipient& recipient : parsed.Recipients()) {
        m_rowOfAddress.emplace(AddressKey(recipient.m_strAddress), row.m_nRow);
      }
    }
  }
  const auto found = m_rowOfAddress.find(AddressKey(address));
  return found == m_rowOfAddress.end() ? 0 : found->second;
}

const message::CFieldRow* CRunMail::Fields(int number) const {
  const addresses::CAddressTable* table = m_list.Table();
  if (table == nullptr || number <= 0) return nullptr;
  const std::vector<addresses::TableRow>& rows = table->Rows();
  const auto index = static_cast<std::size_t>(number - 1);
  if (index < rows.size() && rows[index].m_nRow == number) return &rows[index].m_fields;
  for (const addresses::TableRow& row : rows) {
    if (row.m_nRow == number) return &row.m_fields;
  }
  return nullptr;
}

std::string CRunMail::SubjectOf(int number, const std::string& runSubject) const {
  const addresses::CAddressTable* table = m_list.Table();
  if (table == nullptr || number <= 0) return runSubject;
  for (const addresses::TableRow& row : table->Rows()) {
    if (row.m_nRow == number) return row.m_strSubject.empty() ? runSubject : row.m_strSubject;
  }
  return runSubject;
}

message::ComposeOptions RunComposeOptions(const CMailSource& source, const std::string& sender) {
  message::ComposeOptions options;
  options.m_strSender = sender;
  options.m_strUnsubscribe = source.m_strUnsubscribe;
  options.m_bAdvert = source.m_bAdvert != 0;
  options.m_strFooter = MailFooter();
  return options;
}
