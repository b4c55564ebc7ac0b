// The pieces a MIME message is made of: the content type of a file by its
// name, the part of a file (picture or attachment) encoded once into a piece
// that many messages share, the text parts built per message, boundaries,
// and the writer that lays parts out inside their multipart boundaries as
// the wire body of a CMailItem.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace message {

using SharedPiece = std::shared_ptr<const std::string>;

// "application/pdf" and the like by the name's extension (any letter case);
// application/octet-stream for a name the table does not know.
const char* ContentTypeFor(std::string_view fileName);

// Appends `bytes` as base64 lines of 76 characters, each ending in CR LF;
// `bytes` must be a whole number of 57-byte groups but for the last call.
void AppendBase64Lines(std::string& out, std::string_view bytes);

// The bytes base64 lines of `size` input bytes take.
std::uint64_t Base64LinesSize(std::uint64_t size);

// The parameter `attribute` ("name", "filename") for a file name in the
// code page, as the lines that follow a header line ending in ";": each
// starts with CR LF and a blank and no line passes 78 characters. A plain
// ASCII name goes as a quoted string; any other as RFC 2231 (UTF-8, cut into
// numbered sections when long) or, with `encodedWords`, as a quoted string of
// RFC 2047 words for readers that know nothing of RFC 2231.
std::string FileNameParameter(std::string_view attribute, const std::string& name,
                              bool encodedWords);

// The header lines of a file's part (Content-Type with the name, base64,
// Content-ID when `contentId` is given, Content-Disposition "inline" with it
// or "attachment" without) and the empty line after them.
std::string FilePartHeader(const std::string& name, const std::string& contentId);

// The whole part of a file: its header lines (Content-Type with the name,
// base64, Content-Disposition "inline" with `contentId` or "attachment"
// without), the empty line, and the file's bytes as base64 lines, read and
// encoded in chunks. False when the file cannot be read.
bool EncodeFilePart(const std::filesystem::path& file, const std::string& name,
                    const std::string& contentId, SharedPiece& part, std::uint64_t& size);

// The same part for bytes held in memory.
SharedPiece BytesPart(const std::string& name, const std::string& contentId, std::string_view bytes);

// A text part: Content-Type text/`subtype` with `charset`, the empty line,
// and `text` with CR LF line ends (NUL bytes dropped), sent as 8bit with its
// dot lines doubled, or as base64 when `base64` or a line is too long for
// 8bit. Ends in CR LF.
std::string TextPart(std::string text, std::string_view subtype, std::string_view charset,
                     bool base64);

// A fresh boundary: random, with "=_" which no base64 text and no encoded
// header of these parts holds.
std::string MakeBoundary();

// One entity inside a multipart: either its header lines and a writer of its
// content, or a prebuilt shared piece holding both.
struct MimeEntity {
  std::string m_strHeader;  // lines ending in CR LF; "" for a shared piece
  std::function<void(class CWireWriter&)> m_content;
  SharedPiece m_shared;
};

// Collects the wire body: text of this message joined into own pieces,
// shared pieces taken by pointer.
class CWireWriter {
 public:
  void Add(std::string_view text) { m_strCurrent.append(text); }
  void Share(const SharedPiece& piece);
  // Writes `children` between the delimiters of `boundary`, each child's
  // content ending in CR LF before the next delimiter.
  void Multipart(const std::string& boundary, const std::vector<MimeEntity>& children);
  std::vector<SharedPiece> Finish();

 private:
  std::string m_strCurrent;
  std::vector<SharedPiece> m_pieces;
};

// The Content-Type header of a multipart with its boundary, ending in CR LF;
// with `eightBit` (a part inside goes as 8bit), followed by the
// Content-Transfer-Encoding line that says so, as a multipart may only be
// labelled 7bit (the default), 8bit or binary.
std::string MultipartHeader(std::string_view kind, const std::string& boundary,
                            bool eightBit = false);

}  // namespace message
