#include "smtp/mime_header.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace {

std::string Base64Decode(const std::string& text) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  unsigned int buffer = 0;
  int bits = 0;
  for (char c : text) {
    const std::size_t value = kAlphabet.find(c);
    if (value == std::string::npos) continue;
    buffer = (buffer << 6) | static_cast<unsigned int>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>((buffer >> bits) & 0xFF);
    }
  }
  return bytes;
}

std::vector<std::string> PhysicalLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

// Whether `bytes` is whole GBK characters: no lead byte without its partner.
bool WholeCharacters(const std::string& bytes) {
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    const auto byte = static_cast<unsigned char>(bytes[at]);
    if (byte >= 0x81 && byte <= 0xFE && ++at >= bytes.size()) return false;
  }
  return true;
}

// Every line within the width, every word within 75 characters and whole
// characters, and the words together the original text.
void ExpectEncodedAs(const std::string& line, const std::vector<std::string>& texts) {
  for (const std::string& physical : PhysicalLines(line)) {
    EXPECT_LE(physical.size(), mime::kFoldWidth) << physical;
  }
  const std::regex word("=\\?GBK\\?B\\?([A-Za-z0-9+/=]*)\\?=");
  std::string decoded;
  for (auto it = std::sregex_iterator(line.begin(), line.end(), word); it != std::sregex_iterator();
       ++it) {
    EXPECT_LE(it->str().size(), 75u);
    const std::string bytes = Base64Decode((*it)[1]);
    EXPECT_TRUE(WholeCharacters(bytes)) << it->str();
    decoded += bytes;
  }
  std::string expected;
  for (const std::string& text : texts) expected += text;
  EXPECT_EQ(decoded, expected);
}

TEST(MimeHeaderTest, FoldsLongEncodedTextAtCharacterBoundaries) {
  std::string chinese;
  for (int i = 0; i < 70; ++i) chinese += "\xD6\xD0";  // 70 characters
  const std::string mixed = "a" + chinese + "z";          // odd offsets
  for (const std::string& text : {chinese, mixed, std::string("\xD6\xD0")}) {
    mime::CFoldedLine subject("Subject:");
    subject.AppendEncoded(" ", text);
    EXPECT_EQ(subject.Text().compare(0, 17, "Subject: =?GBK?B?"), 0);
    ExpectEncodedAs(subject.Text(), {text});
  }
}

TEST(MimeHeaderTest, FoldsBetweenRecipientsAfterTheComma) {
  mime::CFoldedLine to("To:");
  std::vector<std::string> names;
  std::string separator = " ";
  for (int i = 0; i < 6; ++i) {
    names.push_back("\xD5\xC5\xC8\xFD" + std::string(static_cast<std::size_t>(i), 'x'));
    to.AppendEncoded(separator, names.back());
    to.Append(" ", "<user" + std::to_string(i) + "@example.com>" + (i < 5 ? "," : ""));
    separator = "";
  }
  ExpectEncodedAs(to.Text(), names);
  const std::vector<std::string> lines = PhysicalLines(to.Text());
  ASSERT_GT(lines.size(), 2u);
  for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i][0], ' ') << lines[i];
  EXPECT_EQ(to.Text().find(",\r\n"), std::string::npos) << to.Text();  // commas end their address
}

TEST(MimeHeaderTest, MessageIdTakesTheSendersDomain) {
  const std::regex pattern("<[0-9a-f]{16}\\.[0-9a-f]+@([^>]+)>");
  const struct {
    const char* m_szSender;
    const char* m_szDomain;  // null: the host name or "localhost"
  } rows[] = {
      {"me@mail.example.cn", "mail.example.cn"},
      {"Me <me@example.cn>", "example.cn"},
      {"me@example.cn\r\nBcc: x", "example.cn"},
      {"nobody", nullptr},
  };
  for (const auto& row : rows) {
    std::smatch match;
    const std::string id = mime::MakeMessageId(row.m_szSender, 1700000000);
    ASSERT_TRUE(std::regex_match(id, match, pattern)) << id;
    if (row.m_szDomain) {
      EXPECT_EQ(match[1], row.m_szDomain);
    } else {
      EXPECT_TRUE(std::regex_match(match[1].str(), std::regex("[A-Za-z0-9.-]+"))) << id;
    }
  }
}

TEST(MimeHeaderTest, Base64BodyLinesAreShort) {
  const std::string bytes(200, '\xB0');
  const std::string lines = mime::Base64Lines(bytes);
  std::string joined;
  for (const std::string& line : PhysicalLines(lines)) {
    EXPECT_LE(line.size(), 76u);
    joined += line;
  }
  EXPECT_EQ(Base64Decode(joined), bytes);
  EXPECT_EQ(lines.substr(lines.size() - 2), "\r\n");
}

}  // namespace
