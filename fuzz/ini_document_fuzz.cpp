// The settings-file reader and writer over any bytes: reading what was written
// gives the same value for every section and key, a second write changes
// nothing, a value stored with Set reads back, and a clipped value is a
// prefix that fits its buffer.
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "platform/ini_document.h"

namespace {

using platform::CIniDocument;

// The section and key names of a written file, read from its lines.
std::vector<std::pair<std::string, std::string>> Names(const std::string& written) {
  std::vector<std::pair<std::string, std::string>> names;
  std::string section;
  for (std::size_t start = 0; start < written.size();) {
    std::size_t end = written.find("\r\n", start);
    if (end == std::string::npos) end = written.size();
    const std::string line = written.substr(start, end - start);
    start = end + 2;
    const std::size_t close = line.rfind(']');
    if (!line.empty() && line[0] == '[' && close != std::string::npos) {
      section = line.substr(1, close - 1);
    } else {
      names.emplace_back(section, line.substr(0, line.find('=')));
    }
  }
  return names;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1A';
}

// What a read gives for a value stored as `value`: without blanks at its ends
// and without one pair of matching quotes around it.
std::string AsRead(std::string value) {
  while (!value.empty() && IsBlank(value.back())) value.pop_back();
  while (!value.empty() && IsBlank(value.front())) value.erase(0, 1);
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

// A name the writer can store and find again: letters and digits only.
std::string PlainName(const std::string& bytes) {
  std::string name;
  for (const char c : bytes) name += "abcdefghijklmnopqrstuvwxyz0123456789"[static_cast<unsigned char>(c) % 36];
  return name.empty() ? "k" : name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::CInput input(data, size);
  const std::string section = PlainName(input.Text());
  const std::string key = PlainName(input.Text());
  std::string value = input.Text();
  const std::size_t bufferSize = input.Byte();
  const std::string file = input.Rest();

  const CIniDocument read(file);
  const std::string written = read.Serialize();
  const CIniDocument reread(written);
  FUZZ_CHECK(reread.Serialize() == written);
  for (const auto& [s, k] : Names(written)) FUZZ_CHECK(read.Get(s, k) == reread.Get(s, k));

  for (const auto& [s, k] : Names(written)) {
    const std::string clipped = platform::ClipProfileValue(read.Get(s, k), bufferSize);
    FUZZ_CHECK(clipped.size() + 1 <= (bufferSize == 0 ? 1 : bufferSize));
    FUZZ_CHECK(read.Get(s, k).value_or("").compare(0, clipped.size(), clipped) == 0);
  }

  // A value holds one line: the settings pages never store line breaks.
  std::erase_if(value, [](char c) { return c == '\r' || c == '\n'; });
  CIniDocument updated(file);
  updated.Set(section, key, value);
  const CIniDocument stored(updated.Serialize());
  const auto got = stored.Get(section, key);
  FUZZ_CHECK(got.has_value() && *got == AsRead(value));
  return 0;
}
