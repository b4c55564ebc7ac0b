#include "dispatch/send_record.h"

#include <chrono>
#include <cstdio>

#include "dispatch/recipient_filter.h"
#include "dispatch/run_report.h"
#include "platform/codepage.h"
#include "platform/dirs.h"

namespace {

const char kLineEnd[] = "\r\n";
// Seconds after the run's start tried for a name not yet taken.
constexpr int kNameTries = 3600;

platform::UtcTime NextSecond(const platform::UtcTime& utc) {
  using namespace std::chrono;
  const sys_seconds now = sys_days{year{utc.year} / month(static_cast<unsigned>(utc.month)) /
                                   day(static_cast<unsigned>(utc.day))} +
                          hours{utc.hour} + minutes{utc.minute} + seconds{utc.second} + seconds{1};
  const sys_days date = floor<days>(now);
  const year_month_day ymd{date};
  const hh_mm_ss<seconds> time{now - date};
  platform::UtcTime next;
  next.year = static_cast<int>(ymd.year());
  next.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  next.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  next.hour = static_cast<int>(time.hours().count());
  next.minute = static_cast<int>(time.minutes().count());
  next.second = static_cast<int>(time.seconds().count());
  return next;
}

struct RecordTexts {
  std::string m_strFolder = platform::FromUtf8("发送记录");
  std::string m_strHeader = platform::FromUtf8("时间,邮件文件,收件人,结果,服务器回复,尝试次数");
  std::string m_strUndelivered = platform::FromUtf8("-未送达.txt");
};

const RecordTexts& Texts() {
  static const RecordTexts texts;
  return texts;
}

std::string Stamp(const char* format, const platform::UtcTime& utc) {
  const platform::UtcTime t = UtcPlus8(utc);
  char text[64];
  std::snprintf(text, sizeof text, format, t.year, t.month, t.day, t.hour, t.minute, t.second);
  return text;
}

}  // namespace

const std::string& RecordFolderName() { return Texts().m_strFolder; }

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string field = "\"";
  for (char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  return field + "\"";
}

std::string RecipientEntry(const std::string& name, const std::string& address) {
  return name.empty() ? address : name + "<" + address + ">";
}

bool CSendRecord::Open(const std::filesystem::path& startDir, const platform::UtcTime& start) {
  if (startDir.empty()) return false;
  const std::filesystem::path folder = startDir / platform::NativePath(RecordFolderName());
  if (!platform::MakeFolder(folder)) return false;
  // A run that starts in the same second as the last one takes the next free
  // second, so that no record is ever replaced and the newest sorts last.
  std::string base;
  std::string csvName;
  platform::UtcTime stamp = start;
  for (int tries = 0; tries < kNameTries; ++tries, stamp = NextSecond(stamp)) {
    base = Stamp("%04d%02d%02d-%02d%02d%02d", stamp);
    csvName = base + ".csv";
    platform::FileStamp taken;
    if (!platform::StampFile(folder / csvName, taken)) break;
  }
  if (!m_csv.Create(folder / csvName, Texts().m_strHeader + kLineEnd)) return false;
  m_undelivered.Create(folder / platform::NativePath(base + Texts().m_strUndelivered), "");
  m_strName = platform::JoinPath(RecordFolderName(), csvName);
  m_strPath = platform::PathToCodePage(folder / csvName);
  return true;
}

void CSendRecord::Row(const std::string& mailFile, const std::string& name,
                      const std::string& address, RecipientResult result,
                      const std::string& reply, int attempts) {
  if (!m_csv.IsOpen()) return;
  const std::string entry = RecipientEntry(name, address);
  std::string row = Stamp("%04d-%02d-%02d %02d:%02d:%02d", platform::NowUtc());
  row += ',' + CsvField(mailFile) + ',' + CsvField(entry) + ',' + ResultText(result) + ',' +
         CsvField(reply) + ',' + std::to_string(attempts) + kLineEnd;
  m_csv.Append(row);
  if (IsUndelivered(result) && m_undelivered.IsOpen() &&
      m_listed.insert(AddressKey(address)).second) {
    m_undelivered.Append(entry + kLineEnd);
  }
}

void CSendRecord::Close() {
  if (m_csv.IsOpen()) m_csv.Sync();
  if (m_undelivered.IsOpen()) m_undelivered.Sync();
  m_csv.Close();
  m_undelivered.Close();
}
