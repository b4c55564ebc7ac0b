// The portable INI reader and writer against the real private-profile calls:
// one sequence of reads and writes runs on two copies of the same file, one
// through CIniDocument (load, Get or Set, save when changed) and one through
// GetPrivateProfileStringA / WritePrivateProfileStringA; after every step both
// must give the same value and leave the same bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/ini_document.h"
#include "platform/profile.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class CDifferential {
 public:
  // Starts both copies from `initial`, or without any file.
  CDifferential(const testsupport::CTempDir& dir, const std::string& name,
                const std::optional<std::string>& initial)
      : m_dir(dir), m_strName(name), m_expected(initial) {
    if (initial) m_dir.WriteFile(name, *initial);
  }

  void Read(const std::string& section, const std::string& key, std::size_t buffer = 256) {
    SCOPED_TRACE("read [" + section + "] " + key + " into " + std::to_string(buffer));
    EXPECT_EQ(platform::ReadProfileValue(Path(), section, key, buffer),
              platform::ClipProfileValue(Document().Get(section, key), buffer));
  }

  void Write(const std::string& section, const std::string& key, const std::string& value) {
    SCOPED_TRACE("write [" + section + "] " + key + "=" + value);
    EXPECT_NE(platform::WriteProfileValue(Path(), section, key, value), 0);
    platform::CIniDocument document = Document();
    if (document.Set(section, key, value)) m_expected = document.Serialize();
    ExpectSameFile();
  }

  void ExpectSameFile() const {
    ASSERT_EQ(fs::exists(m_dir.Path() / m_strName), m_expected.has_value());
    if (m_expected) {
      EXPECT_EQ(m_dir.ReadFile(m_strName), *m_expected);
    }
  }

 private:
  std::string Path() const { return platform::PathToCodePage(m_dir.Path() / m_strName); }
  // Like the portable profile calls, every step parses the file afresh.
  platform::CIniDocument Document() const {
    return platform::CIniDocument(m_expected.value_or(""));
  }

  const testsupport::CTempDir& m_dir;
  std::string m_strName;
  // The bytes of the portable copy; none while it does not exist.
  std::optional<std::string> m_expected;
};

const std::string kSampleFile =
    "; top comment\r\n[SMTP]\r\nServer = old.example.com  \r\n; inline comment line\r\n"
    "Unknown=keep me\r\nPort=25\r\n\r\n[Mail]\r\nFrom=a@b\r\n\r\n";

TEST(ProfileDifferential, NewFileInAnExistingFolder) {
  testsupport::CTempDir dir;
  CDifferential run(dir, "new.ini", std::nullopt);
  run.Read("SMTP", "Server");
  run.Write("SMTP", "Server", "mail.example.com");
  run.Write("SMTP", "Port", "25");
  run.Write("Mail", "From", "me@example.com");
  run.Read("smtp", "SERVER");
  run.Read("mail", "from");
  EXPECT_EQ(dir.ReadFile("new.ini"),
            "[SMTP]\r\nServer=mail.example.com\r\nPort=25\r\n[Mail]\r\nFrom=me@example.com\r\n");
}

TEST(ProfileDifferential, RewriteKeepsCommentsUnknownKeysAndOrder) {
  testsupport::CTempDir dir;
  CDifferential run(dir, "sample.ini", kSampleFile);
  run.Write("smtp", "server", "new.example.com");
  run.Write("SMTP", "User", "bob");
  run.Write("Pop3", "Host", "pop.example.com");
  run.Read("Pop3", "host");
  run.Read("SMTP", "Unknown");
  run.Read("SMTP", "; inline comment line");
}

TEST(ProfileDifferential, LookupRules) {
  testsupport::CTempDir dir;
  CDifferential run(
      dir, "lookup.ini",
      "orphan=1\n[smtp]\nMail=a@b\n[ Spaced ]\n\t Server \t=  x  \n[Mail]\nk=1\nK=2\n[mail]\n"
      "k=3\nother=4\n[q]\nq=\" x \"\nsq='y'\nopen=\"z\nmixed=\"w'\ntwo=\"\"\n"
      "semi=v ;not a comment\n#hash=1\nempty=\nlonely\nlonely=later\n[broken\nafter=v\n"
      "[\xD3\xCA\xBC\xFE]\n\xC3\xFB=\xD6\xB5\n");
  run.Read("SMTP", "mail");
  run.Read("spaced", "SERVER");
  run.Read("Mail", "k");
  run.Read("mail", "other");
  for (const char* key : {"q", "sq", "open", "mixed", "two", "semi", "#hash", "empty", "lonely",
                          "after", "missing"}) {
    run.Read("q", key);
  }
  run.Read("\xD3\xCA\xBC\xFE", "\xC3\xFB");
  run.Read("nosuch", "Mail");
  run.Write("MAIL", "K", "9");
  run.Write("mail", "other", "5");
  run.Write("q", "lonely", "now");
  run.Write("\xD3\xCA\xBC\xFE", "\xC3\xFB", "\xD0\xC2\xD6\xB5");
  run.Write("\xD0\xC2", "\xBC\xFC", "\xD6\xB5");
}

TEST(ProfileDifferential, LongValuesAndFixedBuffers) {
  testsupport::CTempDir dir;
  CDifferential run(dir, "long.ini", "[s]\nlong=" + std::string(300, 'x') + "\n");
  run.Read("s", "long", 256);
  run.Read("s", "long", 1000);
  run.Write("s", "exact", std::string(255, 'y'));
  run.Read("s", "exact", 256);
  run.Write("s", "longer", std::string(600, 'z'));
  run.Read("s", "longer", 256);
  run.Read("s", "longer", 601);
}

TEST(ProfileDifferential, WritesTrimValuesAndKeepQuotes) {
  testsupport::CTempDir dir;
  CDifferential run(dir, "trim.ini", "[s]\n\n  Other  =  x  \nk = \"v\" \n");
  run.Write("s", "k", "  \"v\"\t");  // unchanged: the file stays as it is
  run.Write("S", "Other", "x");
  run.Write(" s ", " New ", "  value with \"quotes\"  ");
  run.Read("s", "new");
  run.Write("s", "k", "'single'");
  run.Read("s", "k");
}

TEST(ProfileDifferential, MissingFolderStoresNothing) {
  testsupport::CTempDir dir;
  const std::string path = platform::PathToCodePage(dir.Path() / "ini" / "Stmp.Ini");
  EXPECT_EQ(platform::WriteProfileValue(path, "smtp", "smtp", "x"), 0);
  EXPECT_FALSE(fs::exists(dir.Path() / "ini"));
  EXPECT_EQ(platform::ReadProfileValue(path, "smtp", "smtp", 256), "");
}

TEST(ProfileDifferential, SettingsFileRelativeToTheWorkingDirectory) {
  testsupport::CTempDir dir;
  fs::create_directory(dir.Path() / "ini");
  testsupport::CWorkingDirGuard cwd(dir.Path());
  ASSERT_NE(platform::WriteProfileValue("ini\\Stmp.Ini", "smtp", "smtp", "127.0.0.1"), 0);
  EXPECT_EQ(dir.ReadFile("ini/Stmp.Ini"), "[smtp]\r\nsmtp=127.0.0.1\r\n");
  EXPECT_EQ(platform::ReadProfileValue("ini\\Stmp.Ini", "SMTP", "Smtp", 256), "127.0.0.1");
}

// Random sequences over a small alphabet of names that differ in letter case
// and blanks, values with quotes, blanks, GBK text and lengths past the
// buffer, on files with comments, duplicates and lines without '='.
TEST(ProfileDifferential, RandomSequencesAgree) {
  const std::vector<std::optional<std::string>> starts = {
      std::nullopt,
      "",
      kSampleFile,
      "[smtp]\nsmtp=old\n\n[MAIL]\nk=1\nk=2\nbare line\n;c=1\n[mail]\nk=3\n",
      "x=1\r\n[ Smtp ]\r\n  SMTP  =  \"q\"  \r\n[\xD3\xCA\xBC\xFE]\r\n\xC3\xFB=\xD6\xB5\r\n",
  };
  const std::vector<std::string> sections = {"smtp", "SMTP", " Smtp\t", "mail", "MAIL",
                                             "\xD3\xCA\xBC\xFE", "new", " New\t"};
  const std::vector<std::string> keys = {"smtp", "Smtp ", "k", "K", "\xC3\xFB", "bare line",
                                         "fresh", " Fresh "};
  const std::vector<std::string> values = {
      "", "x", "127.0.0.1", "  padded\t ", "\"quoted\"", "' single '", "\"open",
      "v ;not a comment", "a=b", "\xD6\xB5\xB5\xC4", std::string(300, 'y')};
  const std::vector<std::size_t> buffers = {256, 4, 1000};

  testsupport::CTempDir dir;
  std::mt19937 random(20261207);
  auto pick = [&random](const auto& items) -> const auto& {
    return items[std::uniform_int_distribution<std::size_t>(0, items.size() - 1)(random)];
  };
  for (int sequence = 0; sequence < 150 && !testing::Test::HasFailure(); ++sequence) {
    SCOPED_TRACE("sequence " + std::to_string(sequence));
    CDifferential run(dir, "random" + std::to_string(sequence) + ".ini", pick(starts));
    for (int step = 0; step < 12; ++step) {
      if (random() % 5 < 3) {
        run.Write(pick(sections), pick(keys), pick(values));
      } else {
        run.Read(pick(sections), pick(keys), pick(buffers));
      }
    }
  }
}

}  // namespace
