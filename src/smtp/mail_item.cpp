#include "smtp/mail_item.h"

#include <algorithm>
#include <cstring>

#include "smtp/mime_header.h"

namespace {

// Positions of the lines that begin with a dot.
std::vector<std::size_t> DotLines(const std::string& body) {
  std::vector<std::size_t> found;
  if (!body.empty() && body[0] == '.') found.push_back(0);
  for (std::size_t at = body.find("\r\n."); at != std::string::npos;
       at = body.find("\r\n.", at + 2)) {
    found.push_back(at + 2);
  }
  return found;
}

}  // namespace

bool CMailItem::AddRecipient(std::string address, std::string name) {
  m_recipients.push_back({std::move(address), std::move(name)});
  return true;
}

bool CMailItem::GetRecipient(std::string& address, std::string& name, int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= m_recipients.size()) return false;
  address = m_recipients[index].m_strAddress;
  name = m_recipients[index].m_strName;
  return true;
}

int CMailItem::GetRecipientCount() const { return static_cast<int>(m_recipients.size()); }

bool CMailItem::AddRecipientList(std::string list) {
  list.resize(std::strlen(list.c_str()));  // a NUL ends the text, as for "%s"
  std::size_t start = 0;
  for (;;) {
    std::size_t end = list.find(';', start);
    std::string entry = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::size_t open = entry.find('<');
    if (open == std::string::npos) {
      AddRecipient(entry, "");
    } else {
      std::size_t close = entry.find('>');
      if (close == std::string::npos || close < open) return false;
      AddRecipient(entry.substr(open + 1, close - open - 1), entry.substr(0, open));
    }
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

bool CMailItem::BuildHeader() {
  if (m_recipients.empty()) return false;
  m_tDate = std::time(nullptr);
  const bool plainBody = m_strContentHeader.empty();
  m_bBase64Body = plainBody && m_wireBody.empty() && mime::HasOverlongLine(m_strBody);

  // ASCII names stand as they are, right before the address; other names go
  // as encoded words, a blank before the address.
  // The comma stays with the address before it, so a fold comes after it.
  mime::CFoldedLine to("To:");
  std::string separator = " ";
  for (const MailRecipient& recipient : m_recipients) {
    const std::string name = WithoutLineBreaks(recipient.m_strName);
    std::string address = "<" + WithoutLineBreaks(recipient.m_strAddress) + ">";
    if (&recipient != &m_recipients.back()) address += ',';
    if (mime::HasNonAscii(name)) {
      to.AppendEncoded(separator, name);
      to.Append(" ", address);
    } else {
      to.Append(separator, name + address);
    }
    separator = "";
  }
  mime::CFoldedLine subject("Subject:");
  const std::string subjectText = WithoutLineBreaks(m_strSubject);
  if (mime::HasNonAscii(subjectText)) {
    subject.AppendEncoded(" ", subjectText);
  }

  m_strHeader = "Date: " + mime::FormatDate(m_tDate);
  m_strHeader += "\r\nFrom: " + WithoutLineBreaks(m_strSender);
  m_strHeader += "\r\n" + to.Text();
  if (mime::HasNonAscii(subjectText)) {
    m_strHeader += "\r\n" + subject.Text();
  } else {
    m_strHeader += "\r\nSubject: " + subjectText;
  }
  m_strHeader += "\r\nMessage-ID: " + mime::MakeMessageId(m_strSender, m_tDate);
  m_strHeader += "\r\nMIME-Version: 1.0\r\n";
  m_strHeader += m_strExtraHeader;
  if (!plainBody) {
    m_strHeader += m_strContentHeader;
    return true;
  }
  m_strHeader += "Content-Type: text/plain; charset=";
  m_strHeader += mime::kCharset;
  m_strHeader += m_bBase64Body ? "\r\nContent-Transfer-Encoding: base64"
                               : "\r\nContent-Transfer-Encoding: 8bit";
  m_strHeader += "\r\n";
  return true;
}

void CMailItem::EscapeBody() {
  const std::vector<std::size_t> dots = DotLines(m_strBody);
  if (dots.empty()) return;
  // Widen in place and move each stretch right by the dots inserted before it,
  // last stretch first, so no second copy of a large body is made.
  std::size_t end = m_strBody.size();
  m_strBody.resize(end + dots.size());
  char* bytes = m_strBody.data();
  for (std::size_t i = dots.size(); i-- > 0;) {
    const std::size_t at = dots[i];
    std::memmove(bytes + at + i + 1, bytes + at, end - at);
    bytes[at + i] = '.';
    end = at;
  }
}

void NormalizeLineEnds(std::string& text, std::size_t spare) {
  // Bodies can be large: find the line ends with memchr() and copy the runs
  // between them, and copy nothing when every line end is CR LF already.
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  auto find = [end](const char* from, char c) {
    const void* at = from < end ? std::memchr(from, c, static_cast<std::size_t>(end - from)) : nullptr;
    return at ? static_cast<const char*>(at) : end;
  };
  std::size_t added = 0;
  for (const char* lf = find(begin, '\n'); lf != end; lf = find(lf + 1, '\n')) {
    if (lf == begin || lf[-1] != '\r') ++added;
  }
  for (const char* cr = find(begin, '\r'); cr != end; cr = find(cr + 1, '\r')) {
    if (cr + 1 == end || cr[1] != '\n') ++added;
  }
  if (added == 0) return;
  std::string normal;
  normal.reserve(text.size() + added + spare);
  const char* nextLf = find(begin, '\n');
  const char* nextCr = find(begin, '\r');
  for (const char* run = begin; run < end;) {
    const char* brk = std::min(nextLf, nextCr);
    normal.append(run, brk);
    if (brk == end) break;
    normal += "\r\n";
    run = brk + ((*brk == '\r' && brk + 1 < end && brk[1] == '\n') ? 2 : 1);
    if (nextLf < run) nextLf = find(run, '\n');
    if (nextCr < run) nextCr = find(run, '\r');
  }
  text.swap(normal);
}

std::string WithoutLineBreaks(const std::string& text) {
  std::string clean;
  clean.reserve(text.size());
  for (char c : text) {
    if (c == '\0') break;
    if (c != '\r' && c != '\n') clean += c;
  }
  return clean;
}

void RemoveNulBytes(std::string& text) {
  if (std::memchr(text.data(), '\0', text.size()) == nullptr) return;
  std::erase(text, '\0');
}
