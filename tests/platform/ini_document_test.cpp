#include "platform/ini_document.h"

#include <gtest/gtest.h>

namespace {

using platform::CIniDocument;

std::string Value(const CIniDocument& doc, std::string_view section, std::string_view key) {
  return doc.Get(section, key).value_or("<absent>");
}

TEST(IniDocument, NewFileHoldsSectionsInOrderOfFirstWrite) {
  CIniDocument doc;
  EXPECT_TRUE(doc.Set("SMTP", "Server", "mail.example.com"));
  EXPECT_TRUE(doc.Set("SMTP", "Port", "25"));
  EXPECT_TRUE(doc.Set("Mail", "From", "me@example.com"));
  EXPECT_EQ(doc.Serialize(),
            "[SMTP]\r\nServer=mail.example.com\r\nPort=25\r\n[Mail]\r\nFrom=me@example.com\r\n");
}

TEST(IniDocument, RewriteKeepsCommentsUnknownKeysAndOrder) {
  CIniDocument doc(
      "; top comment\r\n[SMTP]\r\nServer = old.example.com  \r\n; inline comment line\r\n"
      "Unknown=keep me\r\nPort=25\r\n\r\n[Mail]\r\nFrom=a@b\r\n\r\n");
  EXPECT_TRUE(doc.Set("smtp", "server", "new.example.com"));
  EXPECT_TRUE(doc.Set("SMTP", "User", "bob"));
  EXPECT_TRUE(doc.Set("Pop3", "Host", "pop.example.com"));
  EXPECT_EQ(doc.Serialize(),
            "; top comment\r\n[SMTP]\r\nServer=new.example.com\r\n; inline comment line\r\n"
            "Unknown=keep me\r\nPort=25\r\nUser=bob\r\n[Mail]\r\nFrom=a@b\r\n[Pop3]\r\n"
            "Host=pop.example.com\r\n");
}

TEST(IniDocument, LooksUpWithoutLetterCaseAndAroundBlanks) {
  const CIniDocument doc(
      "[smtp]\nMail=a@b\n[ Spaced ]\n\t Server \t=  x  \n[\xD3\xCA\xBC\xFE]\n\xC3\xFB=\xD6\xB5\n");
  EXPECT_EQ(Value(doc, "SMTP", "mail"), "a@b");
  EXPECT_EQ(Value(doc, "spaced", "SERVER"), "x");
  EXPECT_EQ(Value(doc, " Spaced ", " Server "), "x");
  // GBK names and values are compared and returned byte for byte.
  EXPECT_EQ(Value(doc, "\xD3\xCA\xBC\xFE", "\xC3\xFB"), "\xD6\xB5");
  EXPECT_EQ(Value(doc, "\xD3\xCA\xBC\xFE", "\xC3\xDB"), "<absent>");
  EXPECT_EQ(Value(doc, "smtp", "Missing"), "<absent>");
  EXPECT_EQ(Value(doc, "nosuch", "Mail"), "<absent>");
}

TEST(IniDocument, ValuesLoseOnePairOfQuotesButNoComments) {
  const CIniDocument doc(
      "[s]\nq=\" x \"\nsq='y'\nopen=\"z\nmixed=\"w'\none=\"\ntwo=\"\"\ndouble=\"\"a\"\"\n"
      "semi=v ;not a comment\nempty=\n");
  EXPECT_EQ(Value(doc, "s", "q"), " x ");
  EXPECT_EQ(Value(doc, "s", "sq"), "y");
  EXPECT_EQ(Value(doc, "s", "open"), "\"z");
  EXPECT_EQ(Value(doc, "s", "mixed"), "\"w'");
  EXPECT_EQ(Value(doc, "s", "one"), "\"");
  EXPECT_EQ(Value(doc, "s", "two"), "");
  EXPECT_EQ(Value(doc, "s", "double"), "\"a\"");
  EXPECT_EQ(Value(doc, "s", "semi"), "v ;not a comment");
  EXPECT_EQ(Value(doc, "s", "empty"), "");
}

TEST(IniDocument, FirstDuplicateWinsAndIsTheOneReplaced) {
  CIniDocument doc("[Mail]\nk=1\nK=2\n[mail]\nk=3\nother=4\n");
  EXPECT_EQ(Value(doc, "MAIL", "k"), "1");
  EXPECT_EQ(Value(doc, "mail", "other"), "<absent>");
  EXPECT_TRUE(doc.Set("mail", "K", "9"));
  EXPECT_TRUE(doc.Set("mail", "other", "5"));
  EXPECT_EQ(doc.Serialize(), "[Mail]\r\nk=9\r\nK=2\r\nother=5\r\n[mail]\r\nk=3\r\nother=4\r\n");
}

TEST(IniDocument, LineWithoutEqualsIsNoKeyButIsKept) {
  CIniDocument doc("[s]\nlonely\nlonely=later\n[broken\nk=v\n");
  // The bare line comes first and hides the later key, as on Windows.
  EXPECT_EQ(Value(doc, "s", "lonely"), "<absent>");
  EXPECT_EQ(Value(doc, "s", "k"), "v");  // "[broken" opens no section
  EXPECT_TRUE(doc.Set("s", "lonely", "now"));
  EXPECT_EQ(doc.Serialize(), "[s]\r\nlonely=now\r\nlonely=later\r\n[broken\r\nk=v\r\n");
}

TEST(IniDocument, RewriteNormalisesLinesAndTrimsValues) {
  CIniDocument doc("[s]\n\n  Other  =  x  \n\n#hash=1\r\n[ t ]  trailing\nk=v\r\rlast=1");
  EXPECT_EQ(Value(doc, "s", "#hash"), "1");  // '#' starts nothing
  EXPECT_TRUE(doc.Set(" s ", " New", "  value with \"quotes\""));
  EXPECT_EQ(doc.Serialize(),
            "[s]\r\nOther=x\r\n#hash=1\r\nNew=value with \"quotes\"\r\n[t]\r\nk=v\r\nlast=1\r\n");
}

TEST(IniDocument, WriterDropsOnlyLeadingBlanks) {
  CIniDocument doc("[s]\nk=v\n");
  EXPECT_TRUE(doc.Set("s", "k", "\tv\t"));
  EXPECT_TRUE(doc.Set(" New Sec ", "  Key  ", "  v  "));
  EXPECT_EQ(doc.Serialize(), "[s]\r\nk=v\t\r\n[New Sec ]\r\nKey  =v  \r\n");
  // Read back from the file, every name and value is trimmed again.
  const CIniDocument reread(doc.Serialize());
  EXPECT_EQ(Value(reread, "new sec", "key"), "v");
  EXPECT_EQ(reread.Serialize(), "[s]\r\nk=v\r\n[New Sec]\r\nKey=v\r\n");
}

TEST(IniDocument, KeepsAUtf8ByteOrderMark) {
  CIniDocument doc("\xEF\xBB\xBF[s]\nk=v\n");
  EXPECT_EQ(Value(doc, "s", "k"), "v");
  EXPECT_TRUE(doc.Set("s", "k", "w"));
  EXPECT_EQ(doc.Serialize(), "\xEF\xBB\xBF[s]\r\nk=w\r\n");
}

TEST(IniDocument, StoringTheSameValueChangesNothing) {
  CIniDocument doc("[s]\nk = \"v\" \n");
  EXPECT_FALSE(doc.Set("S", "K", "\"v\""));
  EXPECT_FALSE(doc.Set("s ", " k", "  \"v\""));
  // The comparison respects letter case: a value differing only in case is written.
  EXPECT_TRUE(doc.Set("s", "k", "\"V\""));
  EXPECT_FALSE(doc.Set("s", "k", "\"V\""));
}

TEST(IniDocument, LinesBeforeTheFirstSectionStayFirst) {
  CIniDocument doc("orphan=1\r\n");
  EXPECT_TRUE(doc.Set("s", "k", "v"));
  EXPECT_EQ(doc.Serialize(), "orphan=1\r\n[s]\r\nk=v\r\n");
}

// Found by fuzzing: written without its "[]" line, the nameless section's
// entries joined the section before it, and a value read differently.
TEST(IniDocument, ASectionNamedEmptyKeepsItsLine) {
  const CIniDocument doc("[]\nk=1\n[s]\nk=2\n[ ]\nj=3\n");
  EXPECT_EQ(doc.Serialize(), "[]\r\nk=1\r\n[s]\r\nk=2\r\n[]\r\nj=3\r\n");
  const CIniDocument reread(doc.Serialize());
  for (const char* key : {"k", "j"}) {
    EXPECT_EQ(reread.Get("", key), doc.Get("", key)) << key;
    EXPECT_EQ(reread.Get("s", key), doc.Get("s", key)) << key;
  }
}

// Found by fuzzing: a first line beginning with the bytes of a byte-order
// mark (after blanks) lost them to the mark when the rewritten file was read.
TEST(IniDocument, AFirstLineStartingWithMarkBytesSurvivesARewrite) {
  const CIniDocument doc(" \xEF\xBB\xBF[s]x\r\n[t]\r\nk=1\r\n");
  const CIniDocument reread(doc.Serialize());
  EXPECT_EQ(reread.Serialize(), doc.Serialize());
  EXPECT_FALSE(reread.Get("s", "k").has_value());
  EXPECT_EQ(reread.Get("t", "k"), "1");
}

TEST(IniDocument, ClipsLikeAFixedBuffer) {
  const std::string longValue(300, 'x');
  EXPECT_EQ(platform::ClipProfileValue(longValue, 256), std::string(255, 'x'));
  EXPECT_EQ(platform::ClipProfileValue(std::string(255, 'y'), 256), std::string(255, 'y'));
  EXPECT_EQ(platform::ClipProfileValue(std::string("ab\0cd", 5), 256), "ab");
  EXPECT_EQ(platform::ClipProfileValue(std::nullopt, 256), "");
  // A GBK character that does not fit whole is left out whole.
  EXPECT_EQ(platform::ClipProfileValue("\xD6\xB5\xB5\xC4", 4), "\xD6\xB5");
  EXPECT_EQ(platform::ClipProfileValue("a\xD6\xB5\xB5\xC4", 4), "a\xD6\xB5");
  EXPECT_EQ(platform::ClipProfileValue(std::string(254, 'x') + "\xD6\xB5", 256),
            std::string(254, 'x'));
  // Code page 936 has no four-byte characters: a lead byte takes one more
  // byte, whatever it is.
  EXPECT_EQ(platform::ClipProfileValue("ab\x81\x30\x81\x30", 7), "ab\x81\x30\x81\x30");
  EXPECT_EQ(platform::ClipProfileValue("ab\x81\x30\x81\x30", 6), "ab\x81\x30");
}

}  // namespace
