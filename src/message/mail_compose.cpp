// Composing one message of a mail template: per row only the text and HTML
// parts are built; pictures and attachments are the pieces encoded at Load.
#include <string_view>

#include "message/html_text.h"
#include "message/mail_template.h"
#include "message/mail_template_parts.h"
#include "message/unsubscribe.h"
#include "platform/codepage.h"
#include "smtp/mime_header.h"

namespace message {
namespace {

// The refusal line (commercial mail) and the footer, "\n" line ends.
std::string Extras(const ComposeOptions& options, const std::string& url) {
  std::string extras;
  if (options.m_bAdvert) extras = "\n" + RefusalLine(url) + "\n";
  return extras + options.m_strFooter;
}

// The footer block at the end of the HTML: escaped text that keeps its lines.
std::string FooterBlock(const std::string& extras) {
  if (extras.empty()) return extras;
  std::size_t begin = 0;
  while (begin < extras.size() && extras[begin] == '\n') ++begin;
  // Escaped lines joined by <br>: they wrap in every reader, also in those
  // that drop style attributes, where a <pre> would run past the edge.
  std::string block = "\n<div>";
  std::string_view rest = std::string_view(extras).substr(begin);
  while (!rest.empty() && rest.back() == '\n') rest.remove_suffix(1);
  for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(end + 1)) {
    block += HtmlEscape(rest.substr(0, end)) + "<br>\n";
  }
  block += HtmlEscape(rest) + "</div>\n";
  return block;
}

}  // namespace

std::string CMailTemplate::ComposeSubject(const std::string& subject, const CFieldRow* row,
                                          const ComposeOptions& options) {
  std::string merged = row ? MergeFields(subject, *row) : subject;
  return options.m_bAdvert ? AdvertSubject(merged) : merged;
}

std::string CMailTemplate::PlainText(const CFieldRow* row, const std::string& extras) const {
  return m_parts->m_text.Merge(row) + extras;
}

std::string CMailTemplate::MergedHtml(const CMergeText& html, const CFieldRow* row) const {
  const bool utf8 = m_parts->m_charset.m_kind == HtmlCharsetKind::Utf8;
  return html.Merge(row, [utf8](const std::string& cell) {
    return HtmlEscape(utf8 ? platform::ToUtf8(cell) : cell);
  });
}

void CMailTemplate::Compose(const CFieldRow* row, const std::string& subject,
                            const ComposeOptions& options, CMailItem& item) const {
  const Parts& parts = *m_parts;
  const std::string url = MergeUnsubscribeUrl(options.m_strUnsubscribe, row);
  const std::string extras = Extras(options, url);
  item.m_strSubject = ComposeSubject(subject, row, options);
  item.m_strExtraHeader = UnsubscribeHeaderLines(options.m_strSender, url);
  item.m_strContentHeader.clear();
  item.m_wireBody.clear();
  item.m_strBody.clear();
  if (!parts.m_bHtml && parts.m_attachments.empty()) {
    // Today's message: one text/plain part that the session prepares. Room
    // for the extras and the dots the session doubles, so that the body of a
    // large mail is built once and never moved.
    std::string tail = extras;
    NormalizeLineEnds(tail);
    std::string& body = item.m_strBody;
    body.reserve(parts.m_text.Text().size() + tail.size() + parts.m_nDotLines + 2);
    parts.m_text.MergeInto(body, row);
    body += tail;
    NormalizeLineEnds(body);  // a cell may hold line breaks
    return;
  }

  // The text (and HTML) parts of this row; they alone can hold a boundary.
  std::string textPart;
  std::string htmlPart;
  if (parts.m_bHtml) {
    const bool utf8 = parts.m_charset.m_kind == HtmlCharsetKind::Utf8;
    const std::string merged = MergedHtml(parts.m_html, row);
    std::string text = HtmlToText(utf8 ? merged : platform::ToUtf8(merged)) + platform::ToUtf8(extras);
    if (!utf8) text = platform::FromUtf8(text);
    textPart = TextPart(std::move(text), "plain", parts.m_charset.m_strLabel, false);
    const std::string block = FooterBlock(utf8 ? platform::ToUtf8(extras) : extras);
    htmlPart = TextPart(InsertBeforeBodyEnd(merged, block), "html", parts.m_charset.m_strLabel, true);
  } else {
    textPart = TextPart(PlainText(row, extras), "plain", mime::kCharset, false);
  }
  // A text part with bytes beyond ASCII that goes as 8bit makes every
  // multipart around it 8bit.
  const bool eightBit = textPart.find("Content-Transfer-Encoding: 8bit") != std::string::npos &&
                        mime::HasNonAscii(textPart);
  auto fresh = [&textPart]() {
    std::string boundary = MakeBoundary();
    while (textPart.find(boundary) != std::string::npos) boundary = MakeBoundary();
    return boundary;
  };

  CWireWriter writer;
  MimeEntity body;
  body.m_shared = std::make_shared<const std::string>(std::move(textPart));
  if (parts.m_bHtml) {
    MimeEntity html;
    html.m_shared = std::make_shared<const std::string>(std::move(htmlPart));
    const std::string boundary = fresh();
    MimeEntity alternative;
    alternative.m_strHeader = MultipartHeader("alternative", boundary, eightBit);
    alternative.m_content = [boundary, text = body, html](CWireWriter& out) {
      out.Multipart(boundary, {text, html});
    };
    body = std::move(alternative);
    body.m_shared = nullptr;
  }
  // Wraps the body so far and the shared pieces in a multipart of `kind`.
  auto wrap = [&](const char* kind, const std::vector<SharedPiece>& pieces) {
    if (pieces.empty()) return;
    const std::string boundary = fresh();
    MimeEntity outer;
    outer.m_strHeader = MultipartHeader(kind, boundary, eightBit);
    outer.m_content = [boundary, inner = body, &pieces](CWireWriter& out) {
      std::vector<MimeEntity> children{inner};
      for (const SharedPiece& piece : pieces) children.push_back({"", nullptr, piece});
      out.Multipart(boundary, children);
    };
    body = std::move(outer);
  };
  wrap("related", parts.m_picturePieces);
  wrap("mixed", parts.m_attachmentPieces);
  // The outermost entity: its header is the message's content header.
  item.m_strContentHeader = body.m_strHeader;
  body.m_content(writer);
  item.m_wireBody = writer.Finish();
}

std::string CMailTemplate::TextFor(const CFieldRow* row, const ComposeOptions& options) const {
  const Parts& parts = *m_parts;
  const std::string extras = Extras(options, MergeUnsubscribeUrl(options.m_strUnsubscribe, row));
  if (!parts.m_bHtml) {
    // Shown with "\n" line ends, as the HTML's text part is.
    std::string text = PlainText(row, extras);
    std::erase_if(text, [](char c) { return c == '\r'; });
    return text;
  }
  const bool utf8 = parts.m_charset.m_kind == HtmlCharsetKind::Utf8;
  const std::string merged = MergedHtml(parts.m_html, row);
  return platform::FromUtf8(HtmlToText(utf8 ? merged : platform::ToUtf8(merged))) + extras;
}

std::string CMailTemplate::HtmlFor(const CFieldRow* row, const ComposeOptions& options) const {
  const Parts& parts = *m_parts;
  if (!parts.m_bHtml) return std::string();
  const bool utf8 = parts.m_charset.m_kind == HtmlCharsetKind::Utf8;
  const std::string extras = Extras(options, MergeUnsubscribeUrl(options.m_strUnsubscribe, row));
  const std::string html =
      InsertBeforeBodyEnd(MergedHtml(parts.m_htmlShown, row), FooterBlock(utf8 ? platform::ToUtf8(extras) : extras));
  return utf8 ? platform::FromUtf8(html) : html;
}

}  // namespace message
