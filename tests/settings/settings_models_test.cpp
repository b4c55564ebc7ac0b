// The four settings models against the settings file in a scratch working
// directory.
#include <filesystem>

#include <gtest/gtest.h>

#include "settings/mail_source.h"
#include "settings/profile_file.h"
#include "settings/smtp_account.h"
#include "settings/sound_settings.h"
#include "settings/timer_settings.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class SettingsModels : public ::testing::Test {
 protected:
  SettingsModels() : m_cwd(m_dir.Path()) {}
  void MakeIniDir() { fs::create_directory(m_dir.Path() / "ini"); }
  std::string Stored() const { return m_dir.ReadFile("ini/Stmp.Ini"); }

  testsupport::CTempDir m_dir;
  testsupport::CWorkingDirGuard m_cwd;
};

TEST_F(SettingsModels, FirstSaveOfEachModelCreatesItsSection) {
  MakeIniDir();
  CSmtpAccount account;
  account.m_strServer = "smtp.example.com";
  account.m_strMail = "me@example.com";
  account.m_strName = "me";
  account.m_strPassword = "p\xC3\xDC\xC2\xEB word";  // plain text, GBK, inner blank
  account.m_bAuth = 1;
  account.m_nPort = 587;
  account.m_nSecurity = 1;
  account.m_strCaFile = "certs/ca.pem";
  account.WriteSettings();
  const std::string smtp =
      "[smtp]\r\nsmtp=smtp.example.com\r\nMail=me@example.com\r\nName=me\r\n"
      "Password=p\xC3\xDC\xC2\xEB word\r\nemstp=1\r\nport=587\r\nsecurity=1\r\n"
      "cafile=certs/ca.pem\r\nreuse=0\r\nconnections=0\r\n";
  EXPECT_EQ(Stored(), smtp);

  CMailSource source;
  source.m_strMailDir = "/home/u/\xD3\xCA\xBC\xFE";
  source.m_strAddressFile = "addr.txt";
  source.m_strSubject = "\xC4\xE3\xBA\xC3";
  source.m_nRate = 30;
  source.WriteSettings();
  const std::string maildir =
      "[maildir]\r\nmaildir=/home/u/\xD3\xCA\xBC\xFE\r\naddress=addr.txt\r\n"
      "mailsubject=\xC4\xE3\xBA\xC3\r\nrate=30\r\nonerror=0\r\nretry=30\r\n"
      "maxerrors=10\r\nexclude=\r\nunsubscribe=\r\nadvert=0\r\n";
  EXPECT_EQ(Stored(), smtp + maildir);

  CTimerSettings timer;
  timer.m_nHour = 7;
  timer.m_nMinute = 5;
  timer.WriteSettings();
  const std::string timerText = "[timer]\r\nhour=7\r\nminute=5\r\ntimer=1\r\n";
  EXPECT_EQ(Stored(), smtp + maildir + timerText);

  CSoundSettings sound;
  sound.WriteSettings();
  EXPECT_EQ(Stored(), smtp + maildir + timerText + "[sound]\r\nplay=0\r\nbegin=\r\nok=\r\nerr=\r\n");

  // And everything reads back as saved.
  CSmtpAccount account2;
  account2.ReadSettings();
  EXPECT_EQ(account2.m_strServer, account.m_strServer);
  EXPECT_EQ(account2.m_strMail, account.m_strMail);
  EXPECT_EQ(account2.m_strName, account.m_strName);
  EXPECT_EQ(account2.m_strPassword, account.m_strPassword);
  EXPECT_EQ(account2.m_bAuth, 1);
  CMailSource source2;
  source2.ReadSettings();
  EXPECT_EQ(source2.m_strMailDir, source.m_strMailDir);
  EXPECT_EQ(source2.m_strAddressFile, source.m_strAddressFile);
  EXPECT_EQ(source2.m_strSubject, source.m_strSubject);
  EXPECT_EQ(source2.m_nRate, 30);
  CTimerSettings timer2;
  timer2.ReadSettings();
  EXPECT_EQ(timer2.m_nHour, 7);
  EXPECT_EQ(timer2.m_nMinute, 5);
  EXPECT_EQ(timer2.m_bTimer, 1);
}

TEST_F(SettingsModels, WithoutAFileEverythingIsEmptyAndOff) {
  MakeIniDir();
  CTimerSettings timer;
  ASSERT_EQ(timer.m_bTimer, 1);
  timer.m_nHour = 9;
  timer.ReadSettings();
  EXPECT_EQ(timer.m_nHour, 0);
  EXPECT_EQ(timer.m_nMinute, 0);
  EXPECT_EQ(timer.m_bTimer, 0);
  CSoundSettings sound;
  sound.m_bPlay = 1;
  sound.m_strOkWave = "stale.wav";
  sound.ReadSettings();
  EXPECT_EQ(sound.m_bPlay, 0);
  EXPECT_EQ(sound.m_strOkWave, "");
  EXPECT_FALSE(fs::exists(m_dir.Path() / "ini/Stmp.Ini"));
}

TEST_F(SettingsModels, MissingIniDirectoryStoresNothing) {
  CSmtpAccount account;
  account.m_strServer = "smtp.example.com";
  account.m_bAuth = 1;
  account.WriteSettings();
  CTimerSettings timer;
  timer.m_nHour = 7;
  timer.WriteSettings();
  EXPECT_TRUE(fs::is_empty(m_dir.Path()));

  CSmtpAccount reloaded;
  reloaded.ReadSettings();
  EXPECT_EQ(reloaded.m_strServer, "");
  EXPECT_EQ(reloaded.m_bAuth, 0);
}

TEST_F(SettingsModels, FlagsReadByTheirLeadingNumber) {
  MakeIniDir();
  m_dir.WriteFile("ini/Stmp.Ini", "[smtp]\r\nemstp=yes\r\n[timer]\r\nhour=7pm\r\nminute=\r\ntimer=2\r\n");
  // A file from before the pace setting, or one with a negative rate: no limit.
  CMailSource source;
  source.m_nRate = 5;
  source.ReadSettings();
  EXPECT_EQ(source.m_nRate, 0);
  m_dir.WriteFile("ini/Stmp.Ini", "[maildir]\r\nrate=-3\r\n");
  source.ReadSettings();
  EXPECT_EQ(source.m_nRate, 0);
  m_dir.WriteFile("ini/Stmp.Ini", "[smtp]\r\nemstp=yes\r\n[timer]\r\nhour=7pm\r\nminute=\r\ntimer=2\r\n");

  CSmtpAccount account;
  account.m_bAuth = 1;
  account.ReadSettings();
  EXPECT_EQ(account.m_bAuth, 0);

  CTimerSettings timer;
  timer.ReadSettings();
  EXPECT_EQ(timer.m_nHour, 7);
  EXPECT_EQ(timer.m_nMinute, 0);
  EXPECT_EQ(timer.m_bTimer, 2);
  timer.WriteSettings();
  EXPECT_EQ(m_dir.ReadFile("ini/Stmp.Ini"),
            "[smtp]\r\nemstp=yes\r\n[timer]\r\nhour=7\r\nminute=0\r\ntimer=1\r\n");
}

TEST_F(SettingsModels, LongValueReadsBackAs255Bytes) {
  MakeIniDir();
  CMailSource source;
  source.m_strMailDir = std::string(300, 'm');
  source.WriteSettings();
  CMailSource reloaded;
  reloaded.ReadSettings();
  EXPECT_EQ(reloaded.m_strMailDir, std::string(255, 'm'));
}

TEST_F(SettingsModels, HandEditedFileKeepsCommentsAndUnknownKeys) {
  MakeIniDir();
  m_dir.WriteFile("ini/Stmp.Ini",
                  "; written by hand\n[SMTP]\nSMTP = old.example.com\nport=25\n; note\n\n"
                  "[sound]\nplay=1\nvolume=loud\n");
  CSmtpAccount account;
  account.ReadSettings();
  EXPECT_EQ(account.m_strServer, "old.example.com");
  account.m_strServer = "new.example.com";
  account.WriteSettings();
  CSoundSettings sound;
  sound.ReadSettings();
  EXPECT_EQ(sound.m_bPlay, 1);
  sound.m_strOkWave = "ok.wav";
  sound.WriteSettings();
  EXPECT_EQ(m_dir.ReadFile("ini/Stmp.Ini"),
            "; written by hand\r\n[SMTP]\r\nSMTP=new.example.com\r\nport=25\r\n; note\r\n"
            "Mail=\r\nName=\r\nPassword=\r\nemstp=0\r\nsecurity=0\r\ncafile=\r\nreuse=0\r\nconnections=0\r\n"
            "[sound]\r\nplay=1\r\nvolume=loud\r\nbegin=\r\nok=ok.wav\r\nerr=\r\n");
}

}  // namespace

// The port and mode a session uses, from what the file holds.
TEST_F(SettingsModels, PortAndSecurityFallBackToTheModesDefaults) {
  MakeIniDir();
  struct Row {
    const char* m_szStored;
    int m_nSecurity;
    unsigned int m_nPort;
    int m_nPerConnection;
  };
  const Row rows[] = {
      {"", 0, 25, 1},                               // a file from before: as always
      {"security=1\n", 1, 587, 20},                // no port: the mode's default
      {"security=2\nport=0\n", 2, 465, 20},
      {"security=3\nport=2525\n", 3, 2525, 20},
      {"security=1\nport=70000\n", 1, 587, 20},     // out of range
      {"security=1\nport=-5\n", 1, 587, 20},
      {"security=4\nport=465\n", 0, 465, 1},       // an unknown mode is mode 0
      {"security=-1\n", 0, 25, 1},
      {"security=0\nreuse=50\n", 0, 25, 1},         // mode 0: one message per session
      {"security=1\nreuse=1\n", 1, 587, 1},
      {"security=2\nreuse=7\n", 2, 465, 7},
      {"security=3\nreuse=-3\n", 3, 25, 20},
      {"security=1\nreuse=5000\n", 1, 587, 100},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.m_szStored);
    m_dir.WriteFile("ini/Stmp.Ini", std::string("[smtp]\nsmtp=h\n") + row.m_szStored);
    CSmtpAccount account;
    account.ReadSettings();
    EXPECT_EQ(account.Security(), row.m_nSecurity);
    EXPECT_EQ(account.Port(), row.m_nPort);
    EXPECT_EQ(account.MessagesPerConnection(), row.m_nPerConnection);
  }
}

// The keys of the keep-going mode: a stored file without them behaves as
// before (the first failure ends the run), missing retry and maxerrors take
// their defaults, an explicit retry=0 turns retries off.
TEST_F(SettingsModels, KeepGoingKeysReadWithTheirDefaults) {
  MakeIniDir();
  struct Row {
    const char* stored;
    std::int32_t onError, retry, maxErrors;
    const char* exclude;
    const char* unsubscribe = "";
    std::int32_t advert = 0;
  };
  const Row rows[] = {
      {"[maildir]\r\nrate=3\r\n", 0, 30, 10, ""},
      {"[maildir]\r\nonerror=1\r\nretry=0\r\nmaxerrors=0\r\nadvert=1\r\n", 1, 0, 10, "", "", 1},
      {"[maildir]\r\nonerror=2\r\nretry=-5\r\nmaxerrors=3\r\nexclude=ini/bad.txt\r\nadvert=2\r\n"
       "unsubscribe=https://x.cn/u?m={{Email}}\r\n",
       0, 0, 3, "ini/bad.txt", "https://x.cn/u?m={{Email}}", 0},
      {"[maildir]\r\nonerror=1\r\nretry=\r\nmaxerrors=\r\n", 1, 30, 10, ""},
  };
  for (const Row& row : rows) {
    m_dir.WriteFile("ini/Stmp.Ini", row.stored);
    CMailSource source;
    source.m_nOnError = 1;
    source.m_strExcludeFile = "old";
    source.m_strUnsubscribe = "old";
    source.m_bAdvert = 1;
    source.ReadSettings();
    EXPECT_EQ(source.m_nOnError, row.onError) << row.stored;
    EXPECT_EQ(source.m_nRetryMinutes, row.retry) << row.stored;
    EXPECT_EQ(source.m_nMaxErrors, row.maxErrors) << row.stored;
    EXPECT_EQ(source.m_strExcludeFile, row.exclude) << row.stored;
    EXPECT_EQ(source.m_strUnsubscribe, row.unsubscribe) << row.stored;
    EXPECT_EQ(source.m_bAdvert, row.advert) << row.stored;
  }
}
