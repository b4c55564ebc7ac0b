// The inside of CMailTemplate, shared by its reading (mail_template.cpp) and
// its composing (mail_compose.cpp).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "message/html_document.h"
#include "message/mail_template.h"
#include "message/mime_parts.h"

namespace message {

struct CMailTemplate::Parts {
  std::string m_strName;  // the mail file's name (code page), for messages
  bool m_bHtml = false;
  CMergeText m_text;      // a plain text: every line and CR LF (code page)
  std::size_t m_nDotLines = 0;  // its lines that begin with a dot
  HtmlCharset m_charset;  // an HTML file's charset
  CMergeText m_html;      // the HTML with its pictures named by "cid:"
  CMergeText m_htmlShown;  // the HTML as written (pictures by their own address)
  std::vector<AttachmentInfo> m_pictures;
  std::vector<SharedPiece> m_picturePieces;
  std::vector<AttachmentInfo> m_attachments;
  std::vector<SharedPiece> m_attachmentPieces;
};

}  // namespace message
