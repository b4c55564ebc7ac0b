// AddRecipientList over any list, and the header built from what it parsed:
// entries are never invented or merged, and no byte of an address, a name,
// the sender or the subject can start a header line of its own: every line
// starts the next field in order or continues a folded one.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "smtp/mail_item.h"

namespace {

const std::vector<std::string> kFields = {"Date",         "From",         "To",
                                          "Subject",      "Message-ID",   "MIME-Version",
                                          "Content-Type", "Content-Transfer-Encoding"};

// True when every CR is followed by LF and every LF follows a CR.
bool OnlyCrLf(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::CInput input(data, size);
  const std::string list = input.Text();
  CMailItem item;
  item.m_strSender = input.Text();
  item.m_strSubject = input.Text();

  const bool parsed = item.AddRecipientList(list);
  const int entries = static_cast<int>(std::count(list.begin(), list.end(), ';')) + 1;
  const int added = item.GetRecipientCount();
  FUZZ_CHECK(parsed ? added == entries : added < entries);
  std::string address;
  std::string name;
  for (int i = 0; i < added; ++i) {
    FUZZ_CHECK(item.GetRecipient(address, name, i));
    FUZZ_CHECK(address.find(';') == std::string::npos && name.find(';') == std::string::npos);
    FUZZ_CHECK(list.find(address) != std::string::npos);
  }
  FUZZ_CHECK(!item.GetRecipient(address, name, added));

  FUZZ_CHECK(item.BuildHeader() == (added > 0));
  if (added == 0) return 0;
  const std::string& header = item.m_strHeader;
  FUZZ_CHECK(OnlyCrLf(header));
  // Every line starts the next field in order, or continues a folded one
  // with a blank.
  std::vector<std::string> fields;
  for (std::size_t at = 0;;) {
    const std::size_t end = header.find("\r\n", at);
    const std::string line = header.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (line.empty()) {
      FUZZ_CHECK(end == std::string::npos);  // only after the header's last line end
    } else if (line[0] != ' ') {
      fields.push_back(line.substr(0, line.find(':')));
    } else {
      FUZZ_CHECK(!fields.empty());
    }
    if (end == std::string::npos) break;
    at = end + 2;
  }
  FUZZ_CHECK(fields == kFields);
  return 0;
}
