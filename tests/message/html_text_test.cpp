#include "message/html_text.h"

#include <gtest/gtest.h>

#include "message/html_document.h"

namespace message {
namespace {

TEST(HtmlToTextTest, KeepsWhatAReaderSees) {
  struct Case {
    const char* html;
    const char* text;
  };
  const Case cases[] = {
      {"<p>one</p><p>two</p>", "one\n\ntwo\n"},
      {"a<br>b<br/>c<BR >d", "a\nb\nc\nd\n"},
      {"<div>a</div><div>b</div>", "a\nb\n"},
      {"<ul><li>x</li><li>y</li></ul>after", "x\ny\n\nafter\n"},
      {"  many \n  blanks\t here ", "many blanks here\n"},
      {"<pre>  keep\n   this</pre>", "  keep\n   this\n"},
      {"<a href=\"https://x.cn/a\">buy</a>", "buy (https://x.cn/a)\n"},
      {"<a href=\"https://x.cn\">https://x.cn</a>", "https://x.cn\n"},
      {"<a href=\"mailto:a@x.cn\">a@x.cn</a>", "a@x.cn\n"},
      {"<a href=\"#top\">top</a>", "top\n"},
      {"<script>var a = '<p>no</p>';</script>yes<style>p{}</style>", "yes\n"},
      {"<head><title>T</title></head><body>B</body>", "B\n"},
      {"<!-- <p>hidden</p> -->shown", "shown\n"},
      {"&amp;&lt;&gt;&quot;&#39;&nbsp;&copy;", "&<>\"' \xC2\xA9\n"},
      {"&#20013;&#x6587;&#X4E2D;", "\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\n"},
      {"&#0;&#xD800;&#x110000;", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\n"},
      {"&unknown; & &amp", "&unknown; & &amp\n"},
      {"<img src=a.png alt=\"logo\">", "logo\n"},
      {"<!DOCTYPE html><html>x</html>", "x\n"},
      {"a < b", "a < b\n"},
      {"<p>unclosed", "unclosed\n"},
      {"<script>never closed", ""},
      {"", ""},
      {"\xEF\xBB\xBFmark", "mark\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(HtmlToText(c.html), c.text) << c.html;
}

TEST(HtmlToTextTest, EscapesForHtml) {
  EXPECT_EQ(HtmlEscape("<a href=\"x\">'&'</a>"), "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
  EXPECT_EQ(HtmlToText(HtmlEscape("1 < 2 & \"q\"")), "1 < 2 & \"q\"\n");
}

TEST(HtmlDocumentTest, Charset) {
  struct Case {
    std::string html;
    HtmlCharsetKind kind;
    const char* label;
  };
  const Case cases[] = {
      {"<p>x</p>", HtmlCharsetKind::CodePage, "GBK"},
      {"\xEF\xBB\xBF<meta charset=gbk>", HtmlCharsetKind::Utf8, "UTF-8"},
      {"<META CHARSET=\"UTF-8\">", HtmlCharsetKind::Utf8, "UTF-8"},
      {"<meta charset='utf8'/>", HtmlCharsetKind::Utf8, "UTF-8"},
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">", HtmlCharsetKind::CodePage, "GBK"},
      {"<meta content=\"text/html;charset=GB18030\" http-equiv=\"Content-Type\">", HtmlCharsetKind::CodePage, "GB18030"},
      {"<meta name=\"x\"><meta charset=big5>", HtmlCharsetKind::Unknown, "big5"},
      {std::string("\xFF\xFE<\0p\0", 6), HtmlCharsetKind::Utf16, "UTF-16"},
      {"<p>charset=utf-8</p>", HtmlCharsetKind::CodePage, "GBK"},  // not a meta
  };
  for (const Case& c : cases) {
    const HtmlCharset charset = DetectHtmlCharset(c.html);
    EXPECT_EQ(charset.m_kind, c.kind) << c.html;
    EXPECT_EQ(charset.m_strLabel, c.label) << c.html;
  }
}

TEST(HtmlDocumentTest, PicturesByRelativeAddress) {
  struct Case {
    const char* html;
    std::vector<std::string> paths;
  };
  const Case cases[] = {
      {"<img src=\"a/logo.png\">", {"a/logo.png"}},
      {"<IMG SRC='b.gif' alt=x>", {"b.gif"}},
      {"<img alt=\"src=no.png\" src=yes.png>", {"yes.png"}},
      {"<img src=\" sp.png \">", {"sp.png"}},
      {"<img src=\"%E6%96%B0.png?v=2#x\">", {"\xE6\x96\xB0.png"}},
      {"<img src=\"a&amp;b.png\">", {"a&b.png"}},
      {"<td background=\"bg.jpg\">", {"bg.jpg"}},
      {"<div style=\"background:url('u.png')\">", {"u.png"}},
      {"<style>.a{background:url(s1.png)} .b{background:url( \"s2.png\" )}</style>", {"s1.png", "s2.png"}},
      {"<img src=\"http://x.cn/a.png\"><img src=\"https://x.cn/b.png\"><img src=\"data:image/png;base64,AA\">"
       "<img src=\"cid:c\"><img src=\"//x.cn/d.png\"><img src=\"#e\"><img src=\"\"><img src=\"{{logo}}\">"
       "<img src=\"C:\\\\a.png\">",
       {}},
      {"<script src=\"app.js\"></script><a href=\"page.html\">x</a>", {}},
      {"<!-- <img src=\"gone.png\"> --><img src=kept.png>", {"kept.png"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> paths;
    for (const PictureReference& reference : FindPictures(c.html)) {
      paths.push_back(reference.m_strPath);
      // The span is the address as written, to be replaced in place.
      const std::string_view written = std::string_view(c.html).substr(reference.m_nAt, reference.m_nLength);
      EXPECT_FALSE(written.empty() || written.front() == ' ' || written.front() == '"') << c.html;
    }
    EXPECT_EQ(paths, c.paths) << c.html;
  }
}

TEST(HtmlDocumentTest, FooterBlockBeforeTheBodyEnds) {
  EXPECT_EQ(InsertBeforeBodyEnd("<body>x</BODY></html>", "[f]"), "<body>x[f]</BODY></html>");
  EXPECT_EQ(InsertBeforeBodyEnd("<p>x</body>y</body>", "[f]"), "<p>x</body>y[f]</body>");
  EXPECT_EQ(InsertBeforeBodyEnd("<p>x", "[f]"), "<p>x[f]");
}

}  // namespace
}  // namespace message
