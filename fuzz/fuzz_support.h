// Shared by the fuzz targets: a property check that stops the run with a
// report (libFuzzer keeps the input that broke it), and a reader that cuts
// one input into the several values a target needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition)                                                           \
  do {                                                                                  \
    if (!(condition)) {                                                                 \
      std::fprintf(stderr, "property broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                     \
    }                                                                                   \
  } while (0)

namespace fuzz {

// Values taken from the front of an input: single bytes, and strings ended by
// a NUL byte (the last one by the end of the input).
class CInput {
 public:
  CInput(const std::uint8_t* data, std::size_t size)
      : m_rest(reinterpret_cast<const char*>(data), size) {}

  bool Empty() const { return m_rest.empty(); }
  std::uint8_t Byte() {
    if (m_rest.empty()) return 0;
    const auto byte = static_cast<std::uint8_t>(m_rest.front());
    m_rest.remove_prefix(1);
    return byte;
  }
  std::string Text() {
    const std::size_t end = m_rest.find('\0');
    std::string text(m_rest.substr(0, end));
    m_rest.remove_prefix(end == std::string_view::npos ? m_rest.size() : end + 1);
    return text;
  }
  std::string Rest() {
    std::string rest(m_rest);
    m_rest = {};
    return rest;
  }

 private:
  std::string_view m_rest;
};

// `text` with every "\r\n" made "\n": the lines of a CR LF text.
inline std::string CrLfToLf(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace fuzz
