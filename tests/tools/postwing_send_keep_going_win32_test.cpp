// postwing-send in keep-going mode on Windows, against the test server that
// refuses the recipients it is told to: the record of the run (CSV under
// 发送记录\, the native separator in the report line), its list of the
// undelivered, the report line and the exit status agree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dispatch/send_record_reader.h"
#include "platform/codepage.h"
#include "platform/dirs.h"
#include "support/fault_smtp_server.h"
#include "support/sender_run.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;

TEST(SenderKeepGoingWin32, RecordsEveryRecipientAndSendsAgainWhatDidNotArrive) {
  testsupport::FaultPlan plan;
  plan.m_dRate = 0;
  plan.m_strRefusedPrefix = "bad-";
  testsupport::CFaultSmtpServer server(plan);
  ASSERT_TRUE(server.Listening());
  testsupport::CTempDir dir;
  dir.WriteFile("mail/a.txt", FromUtf8("通知\r\n"));
  dir.WriteFile("运行报告.txt", "");
  dir.WriteFile("list.txt", "one@x.cn\r\nBad <bad-two@x.cn>\r\nthree@x.cn\r\n");
  dir.WriteFile("ini/Stmp.Ini", "[smtp]\r\nsmtp=127.0.0.1\r\nMail=s@example.com\r\nemstp=0\r\nport=" +
                                    std::to_string(server.Port()) +
                                    "\r\n[maildir]\r\nmaildir=mail\r\naddress=list.txt\r\nmailsubject=s\r\n"
                                    "onerror=1\r\nretry=0\r\n[sound]\r\nplay=0\r\n");

  const testsupport::SenderOutcome first = testsupport::RunSender(dir.Path());
  EXPECT_EQ(first.status, 4) << first.output;
  const fs::path record = NewestRecord(dir.Path());
  ASSERT_FALSE(record.empty());
  EXPECT_EQ(first.output, "发送完成: 已送达 2 封, 未送达 1 封.\r\n发送记录: " +
                              platform::DisplayName(record) + "\r\n\r\n");
  std::vector<RecordRow> rows;
  ASSERT_TRUE(ReadSendRecord(record, rows));
  struct Row {
    const char* m_recipient;
    const char* m_result;  // UTF-8
    const char* m_reply;
  };
  const Row expected[] = {
      {"one@x.cn", "已送达", "250 2.0.0 Ok: queued"},
      {"Bad <bad-two@x.cn>", "被拒收", "550 5.1.1 User unknown"},
      {"three@x.cn", "已送达", "250 2.0.0 Ok: queued"},
  };
  ASSERT_EQ(rows.size(), std::size(expected));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(expected[i].m_recipient);
    EXPECT_EQ(rows[i].m_strRecipient, expected[i].m_recipient);
    EXPECT_EQ(platform::ToUtf8(rows[i].m_strResult), expected[i].m_result);
    EXPECT_EQ(rows[i].m_strReply, expected[i].m_reply);
  }
  std::wstring undelivered = record.wstring();
  undelivered.replace(undelivered.size() - 4, 4, L"-未送达.txt");
  std::ifstream list{fs::path(undelivered), std::ios::binary};
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(list), std::istreambuf_iterator<char>()),
            "Bad <bad-two@x.cn>\r\n");
  // The report line names the record with the native separator.
  const std::string report = dir.ReadFile("运行报告.txt");
  const std::size_t at = report.rfind(" , ");
  ASSERT_NE(at, std::string::npos);
  const std::string status = report.substr(at + 3);
  EXPECT_EQ(platform::ToUtf8(status),
            "未送达 1 封, 发送记录\\" + platform::ToUtf8(platform::PathToCodePage(record.filename())));
  EXPECT_EQ(RecordPathFromStatus(dir.Path(), status), record);

  std::vector<testsupport::ServedSession> sessions;
  ASSERT_TRUE(server.TakeSessions(sessions));
  int committed = 0;
  for (const auto& s : sessions) committed += s.m_bCommitted ? 1 : 0;
  EXPECT_EQ(committed, 2);

  // Again what did not arrive: the refusal is for good, so nothing is asked.
  const testsupport::SenderOutcome again = testsupport::RunSender(dir.Path(), "--retry-failed");
  EXPECT_NE(again.status, -1) << again.output;
  ASSERT_TRUE(server.TakeSessions(sessions));
  for (const auto& s : sessions) EXPECT_TRUE(s.m_recipients.empty()) << s.m_recipients.front();
}

}  // namespace
