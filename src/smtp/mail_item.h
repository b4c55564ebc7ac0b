// One outgoing message: sender, recipients, subject, body, and the header
// built from them. By default a single text/plain part in the code page
// (GBK): the body goes as 8bit, or as base64 when a line is too long for
// 8bit; non-ASCII subjects and display names go as RFC 2047 encoded words.
// A message built elsewhere (MIME parts) brings its own content header lines
// and a body ready for the wire, in pieces shared between messages.
#pragma once

#include <ctime>
#include <memory>
#include <string>
#include <vector>

struct MailRecipient {
  std::string m_strAddress;  // goes into RCPT TO and between "<" and ">" on the To line
  std::string m_strName;     // stands before the address on the To line; may be empty
};

class CMailItem {
 public:
  CMailItem() = default;
  virtual ~CMailItem() = default;

  // Appends one recipient. Always true.
  bool AddRecipient(std::string address, std::string name);
  // Copies recipient `index`; false (outputs untouched) when out of range.
  bool GetRecipient(std::string& address, std::string& name, int index) const;
  int GetRecipientCount() const;
  const std::vector<MailRecipient>& Recipients() const { return m_recipients; }
  // Parses a ";"-separated list of bare addresses or "name<address>" entries
  // and appends them. A NUL byte ends the list. False on an entry whose first ">" is missing or stands
  // before its "<"; entries before it stay added.
  bool AddRecipientList(std::string list);

  // Builds m_strHeader (Date, From, To, Subject, Message-ID, MIME-Version,
  // the extra lines, then m_strContentHeader or the text/plain Content-Type
  // and Content-Transfer-Encoding lines), sets m_tDate, and decides
  // m_bBase64Body from the body's longest line (a text/plain body only).
  // False, header unchanged, when the item has no recipient.
  bool BuildHeader();
  // Puts one more dot before every line of the body that begins with a dot
  // (lines end in CR LF), so that a receiving server, which removes that dot,
  // keeps the line as written and no line ends the message early.
  void EscapeBody();

  std::string m_strSender;
  std::string m_strSubject;
  std::string m_strHeader;
  std::time_t m_tDate = 0;
  std::string m_strBody;
  bool m_bBase64Body = false;  // set by BuildHeader: the body must go as base64
  // Set by the session once the header is built and the body is in the
  // wire's form: sent again, on this connection or another, the item goes as
  // the same bytes without being prepared twice.
  bool m_bWireReady = false;

  // Header lines (each ending in CR LF) written after MIME-Version, such as
  // List-Unsubscribe; may be empty.
  std::string m_strExtraHeader;
  // When not empty: the Content-Type (and Content-Transfer-Encoding) lines,
  // each ending in CR LF, written instead of the text/plain ones.
  std::string m_strContentHeader;
  // When not empty: the body as it goes on the wire, in order, instead of
  // m_strBody: CR LF line ends, dot lines already doubled, ending in CR LF.
  // The pieces may be shared with other messages and are never changed.
  std::vector<std::shared_ptr<const std::string>> m_wireBody;

 private:
  std::vector<MailRecipient> m_recipients;
};

// Turns every LF not preceded by CR, and every CR not followed by LF, into
// CR LF, so that every line of `text` ends in CR LF. Copies only when
// something changes, into one new buffer with room for `spare` more bytes.
void NormalizeLineEnds(std::string& text, std::size_t spare = 0);

// `text` up to its first NUL byte, without its CR and LF bytes: a value safe
// to put into one command or header line.
std::string WithoutLineBreaks(const std::string& text);

// Removes every NUL byte from `text`, in place: no NUL reaches the wire.
void RemoveNulBytes(std::string& text);
