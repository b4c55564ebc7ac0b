// A mail file made ready to send: read once per run, with its pictures and
// attachments encoded once, then composed into one CMailItem per recipient
// row (fields merged, subject marked, unsubscribe headers). A ".txt" (any
// other name) is a plain text; ".htm"/".html" goes as HTML with a text part
// made from it; a folder beside the file named like it without its
// extension holds its attachments.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "message/merge_fields.h"
#include "smtp/mail_item.h"

namespace message {

// What a run adds to every message beside the mail file's own text.
struct ComposeOptions {
  std::string m_strSender;       // the account's address (From, the mailto: unsubscribe)
  std::string m_strUnsubscribe;  // "" or an https address, may hold fields
  bool m_bAdvert = false;        // commercial mail: "(广告)" and the refusal line
  std::string m_strFooter;       // appended to the text ("\n" line ends, code page)
};

struct AttachmentInfo {
  std::string m_strName;   // the file name (code page)
  std::uint64_t m_nSize = 0;  // bytes of the file
};

class CMailTemplate {
 public:
  CMailTemplate();
  ~CMailTemplate();
  CMailTemplate(CMailTemplate&&) noexcept;
  CMailTemplate& operator=(CMailTemplate&&) noexcept;

  // Reads `file` (a native path, relative to the working directory or
  // absolute), the pictures its HTML names and the attachments beside it, and
  // encodes pictures and attachments once. False, with `error` in the code
  // page naming the file, when the mail file, a picture or an attachment
  // cannot be read.
  bool Load(const std::filesystem::path& file, std::string& error);

  bool IsHtml() const;
  // The fields the mail text uses (not the subject's), as FieldsUsed gives them.
  std::vector<std::string> FieldsUsed() const;
  const std::vector<AttachmentInfo>& Attachments() const;
  // Pictures the HTML names, by the name it uses (code page).
  const std::vector<AttachmentInfo>& Pictures() const;

  // The subject of one message: `subject` with its fields merged from `row`
  // (nullptr: a plain address list, nothing replaced) and, for commercial
  // mail, "(广告)" put in front unless it starts with 广告 or AD.
  static std::string ComposeSubject(const std::string& subject, const CFieldRow* row,
                                    const ComposeOptions& options);

  // Fills `item` for one row (nullptr: a plain address list): its subject as
  // ComposeSubject gives it, its body (a plain text file with no attachment
  // goes as today's single text/plain part) or its MIME parts, and its
  // unsubscribe header lines. Recipients and sender are the caller's.
  void Compose(const CFieldRow* row, const std::string& subject, const ComposeOptions& options,
               CMailItem& item) const;

  // For the preview: the text part and the HTML (merged, in the HTML's own
  // charset converted to the code page; "" for a plain text) of one row.
  std::string TextFor(const CFieldRow* row, const ComposeOptions& options) const;
  std::string HtmlFor(const CFieldRow* row, const ComposeOptions& options) const;

 private:
  struct Parts;
  // The files of the folder beside `file`, but for the pictures, as attachments.
  bool LoadAttachments(const std::filesystem::path& file,
                       const std::vector<std::filesystem::path>& pictures, std::string& error);
  // The text and refusal line and footer, or the HTML's own parts, of one row.
  std::string PlainText(const CFieldRow* row, const std::string& extras) const;
  std::string MergedHtml(const CMergeText& html, const CFieldRow* row) const;

  std::unique_ptr<Parts> m_parts;
};

}  // namespace message
