// A multipart message built from fuzzed parts (a text, an HTML, attachments
// with their names and bytes), as the mail template lays them out, read back
// by a minimal MIME reader after the receiving server's dot removal: every
// part comes back as it went in, header lines stay within 78 characters,
// base64 lines are 76 characters, and no line ends the message early.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "message/mime_parts.h"
#include "mime_reader.h"
#include "platform/codepage.h"
#include "smtp/mail_item.h"

namespace {

constexpr std::size_t kMaxAttachments = 4;

std::string Normalised(std::string text, bool endWithLineEnd) {
  RemoveNulBytes(text);
  NormalizeLineEnds(text);
  if (endWithLineEnd && !text.ends_with("\r\n")) text += "\r\n";
  return text;
}

// What a server keeps of the wire body: one leading dot off every line.
std::string Unstuffed(const std::string& wire) {
  std::string out;
  for (std::size_t at = 0; at < wire.size();) {
    const std::size_t end = wire.find("\r\n", at);
    FUZZ_CHECK(end != std::string::npos);
    const std::string_view line = std::string_view(wire).substr(at, end - at);
    FUZZ_CHECK(line != ".");
    out.append(line.starts_with(".") ? line.substr(1) : line);
    out += "\r\n";
    at = end + 2;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::CInput input(data, size);
  const std::uint8_t shape = input.Byte();
  const std::string text = input.Text();
  const std::string html = input.Text();
  struct File {
    std::string name;
    std::string bytes;
  };
  std::vector<File> files;
  while (!input.Empty() && files.size() < kMaxAttachments) {
    std::string name = input.Text();
    files.push_back({std::move(name), input.Text()});
  }
  const bool withHtml = (shape & 1) != 0;

  using namespace message;
  const std::string textPart = TextPart(text, "plain", "GBK", false);
  auto fresh = [&textPart]() {
    std::string boundary = MakeBoundary();
    while (textPart.find(boundary) != std::string::npos) boundary = MakeBoundary();
    return boundary;
  };
  MimeEntity body{"", nullptr, std::make_shared<const std::string>(textPart)};
  const std::string alternative = fresh();
  if (withHtml) {
    MimeEntity htmlPart{"", nullptr, std::make_shared<const std::string>(TextPart(html, "html", "UTF-8", true))};
    body = {MultipartHeader("alternative", alternative), [alternative, body, htmlPart](CWireWriter& out) {
              out.Multipart(alternative, {body, htmlPart});
            }, nullptr};
  }
  const std::string mixed = fresh();
  std::vector<MimeEntity> children{body};
  for (const File& file : files) children.push_back({"", nullptr, BytesPart(file.name, "", file.bytes)});
  CWireWriter writer;
  writer.Multipart(mixed, children);
  std::string wire = MultipartHeader("mixed", mixed) + "\r\n";
  for (const SharedPiece& piece : writer.Finish()) wire += *piece;

  // Read it back.
  const fuzz::MimeEntity top = fuzz::ReadEntity(Unstuffed(wire));
  FUZZ_CHECK(fuzz::Parameter(top.m_fields.at("content-type"), "boundary") == mixed);
  const std::vector<std::string> parts = fuzz::SplitMultipart(top.m_strBody, mixed);
  FUZZ_CHECK(parts.size() == files.size() + 1);
  fuzz::MimeEntity first = fuzz::ReadEntity(parts[0]);
  if (withHtml) {
    FUZZ_CHECK(fuzz::Parameter(first.m_fields.at("content-type"), "boundary") == alternative);
    const std::vector<std::string> inner = fuzz::SplitMultipart(first.m_strBody, alternative);
    FUZZ_CHECK(inner.size() == 2);
    const fuzz::MimeEntity htmlEntity = fuzz::ReadEntity(inner[1]);
    FUZZ_CHECK(fuzz::DecodedBody(htmlEntity) == Normalised(html, false));
    first = fuzz::ReadEntity(inner[0]);
  }
  const bool textBase64 = first.m_fields.at("content-transfer-encoding") == "base64";
  FUZZ_CHECK(fuzz::DecodedBody(first) == Normalised(text, !textBase64));
  for (std::size_t i = 0; i < files.size(); ++i) {
    const fuzz::MimeEntity part = fuzz::ReadEntity(parts[i + 1]);
    FUZZ_CHECK(fuzz::DecodedBody(part) == files[i].bytes);
    const std::string name = fuzz::FileName(part.m_fields.at("content-disposition"));
    FUZZ_CHECK(name == platform::ToUtf8(WithoutLineBreaks(files[i].name)));
  }
  return 0;
}
