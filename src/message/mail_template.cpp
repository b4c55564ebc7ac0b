#include "message/mail_template.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <system_error>

#include "message/mail_template_parts.h"
#include "platform/codepage.h"
#include "platform/dirs.h"
#include "platform/journal_file.h"
#include "platform/textfile.h"

namespace message {
namespace {

struct Texts {
  std::string mail = platform::FromUtf8("邮件 ");
  std::string cannotRead = platform::FromUtf8(" 无法读取。");
  std::string mailFile = platform::FromUtf8("邮件文件 ");
  std::string picture = platform::FromUtf8(" 用到的图片 ");
  std::string attachment = platform::FromUtf8(" 的附件 ");
  std::string utf16 = platform::FromUtf8(" 是 UTF-16 编码，请另存为 UTF-8 或 GBK 后再发送。");
  std::string charset = platform::FromUtf8(" 声明的字符集 ");
  std::string unsupported = platform::FromUtf8(" 不受支持，请另存为 UTF-8 或 GBK 后再发送。");
};

const Texts& T() {
  static const Texts texts;
  return texts;
}

bool EndsWithNoCase(const std::string& name, std::string_view ending) {
  if (name.size() < ending.size()) return false;
  for (std::size_t i = 0; i < ending.size(); ++i) {
    char c = name[name.size() - ending.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != ending[i]) return false;
  }
  return true;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

std::string RandomTag() {
  std::random_device device;
  char text[24];
  std::snprintf(text, sizeof text, "%08x%08x", device(), device());
  return text;
}

// The last name of a code-page path ("a/b.png" gives "b.png").
std::string LastName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

CMailTemplate::CMailTemplate() : m_parts(std::make_unique<Parts>()) {}
CMailTemplate::~CMailTemplate() = default;
CMailTemplate::CMailTemplate(CMailTemplate&&) noexcept = default;
CMailTemplate& CMailTemplate::operator=(CMailTemplate&&) noexcept = default;

bool CMailTemplate::Load(const std::filesystem::path& file, std::string& error) {
  m_parts = std::make_unique<Parts>();
  Parts& parts = *m_parts;
  parts.m_strName = platform::PathToCodePage(file.filename());
  parts.m_bHtml = EndsWithNoCase(parts.m_strName, ".htm") || EndsWithNoCase(parts.m_strName, ".html");
  const std::filesystem::path folder = file.parent_path();

  if (!parts.m_bHtml) {
    // Read as the batch run always read a mail text: text mode, line by line.
    platform::CTextFileReader reader;
    if (!reader.OpenNative(file)) {
      error = T().mailFile + parts.m_strName + T().cannotRead;
      return false;
    }
    std::string text;
    text.reserve(platform::NativeFileSizeOrZero(file) + 1);
    std::string line;
    while (reader.ReadLine(line)) {
      text += line;
      text += '\n';
    }
    // CR LF once, here: each message then starts from it without a second
    // conversion, so a large mail is held about twice while it goes.
    NormalizeLineEnds(text);
    parts.m_nDotLines = (!text.empty() && text[0] == '.') ? 1 : 0;
    for (std::size_t at = text.find("\r\n."); at != std::string::npos; at = text.find("\r\n.", at + 2)) {
      ++parts.m_nDotLines;
    }
    parts.m_text = CMergeText(std::move(text), false);
  } else {
    std::string html;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec) || !platform::ReadWholeFile(file, html)) {
      error = T().mailFile + parts.m_strName + T().cannotRead;
      return false;
    }
    parts.m_charset = DetectHtmlCharset(html);
    if (parts.m_charset.m_kind == HtmlCharsetKind::Utf16) {
      error = T().mail + parts.m_strName + T().utf16;
      return false;
    }
    if (parts.m_charset.m_kind == HtmlCharsetKind::Unknown) {
      error = T().mail + parts.m_strName + T().charset + WithoutLineBreaks(parts.m_charset.m_strLabel) +
              T().unsupported;
      return false;
    }
    const bool utf8 = parts.m_charset.m_kind == HtmlCharsetKind::Utf8;
    // Pictures by a relative address travel inside the message; each file once.
    const std::string tag = RandomTag();
    std::string rewritten;
    std::size_t copied = 0;
    std::vector<std::filesystem::path> pictureFiles;
    std::vector<std::string> pictureIds;
    for (const PictureReference& reference : FindPictures(html)) {
      const std::string name = utf8 ? platform::FromUtf8(reference.m_strPath) : reference.m_strPath;
      const std::filesystem::path native = platform::FindNativePath(name, folder);
      std::size_t index = 0;
      while (index < pictureFiles.size() && !SameFile(pictureFiles[index], native)) ++index;
      if (index == pictureFiles.size()) {
        const std::string id = "part" + std::to_string(index + 1) + "." + tag + "@postwing";
        SharedPiece piece;
        std::uint64_t size = 0;
        if (!EncodeFilePart(native, LastName(name), id, piece, size)) {
          error = T().mail + parts.m_strName + T().picture + name + T().cannotRead;
          return false;
        }
        pictureFiles.push_back(native);
        pictureIds.push_back(id);
        parts.m_pictures.push_back({name, size});
        parts.m_picturePieces.push_back(std::move(piece));
      }
      rewritten.append(html, copied, reference.m_nAt - copied);
      rewritten += "cid:" + pictureIds[index];
      copied = reference.m_nAt + reference.m_nLength;
    }
    rewritten.append(html, copied, std::string::npos);
    parts.m_htmlShown = CMergeText(html, utf8);
    parts.m_html = CMergeText(rewritten, utf8);

    // Attachments skip the files that travel as pictures.
    return LoadAttachments(file, pictureFiles, error);
  }
  return LoadAttachments(file, {}, error);
}

bool CMailTemplate::LoadAttachments(const std::filesystem::path& file,
                                    const std::vector<std::filesystem::path>& pictures,
                                    std::string& error) {
  Parts& parts = *m_parts;
  const std::filesystem::path folder = file.parent_path() / file.stem();
  std::vector<platform::DirEntry> entries;
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec) ||
      !platform::ListDirectory(platform::PathToCodePage(folder), entries)) {
    return true;  // no folder: no attachments
  }
  std::sort(entries.begin(), entries.end(),
            [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.m_strName < b.m_strName; });
  for (const platform::DirEntry& entry : entries) {
    if (entry.m_bDirectory || entry.m_bSpecial || entry.m_strName == "." || entry.m_strName == "..") continue;
    const std::filesystem::path native = folder / entry.m_native;
    if (std::any_of(pictures.begin(), pictures.end(),
                    [&native](const std::filesystem::path& p) { return SameFile(p, native); })) {
      continue;
    }
    SharedPiece piece;
    std::uint64_t size = 0;
    if (!EncodeFilePart(native, entry.m_strName, "", piece, size)) {
      error = T().mail + parts.m_strName + T().attachment + entry.m_strName + T().cannotRead;
      return false;
    }
    parts.m_attachments.push_back({entry.m_strName, size});
    parts.m_attachmentPieces.push_back(std::move(piece));
  }
  return true;
}

bool CMailTemplate::IsHtml() const { return m_parts->m_bHtml; }

std::vector<std::string> CMailTemplate::FieldsUsed() const {
  return m_parts->m_bHtml ? m_parts->m_html.Fields() : m_parts->m_text.Fields();
}

const std::vector<AttachmentInfo>& CMailTemplate::Attachments() const { return m_parts->m_attachments; }
const std::vector<AttachmentInfo>& CMailTemplate::Pictures() const { return m_parts->m_pictures; }

}  // namespace message
