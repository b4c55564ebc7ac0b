// The text-mode line reader with the input placed across the boundary of its
// 256 KiB read blocks, so that a CR LF, a Ctrl-Z or a line end can fall on
// either side: the lines equal those of the whole file translated at once.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/textfile.h"

namespace {

constexpr std::size_t kBlockSize = 256 * 1024;  // the reader's block, as textfile_posix.cpp reads
constexpr std::size_t kFillLine = 1023;  // long filler lines keep each run cheap

// The lines of `file` in text mode: cut at a Ctrl-Z, CR LF read as LF.
std::vector<std::string> ExpectedLines(const std::string& file) {
  const std::string text = fuzz::CrLfToLf(file.substr(0, file.find('\x1A')));
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t lf; (lf = text.find('\n', start)) != std::string::npos; start = lf + 1) {
    lines.push_back(text.substr(start, lf - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

const std::string& Path() {
  // Memory-backed where there is such a folder: the file is rewritten for every input.
  static const std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                  "/postwing-fuzz-text-" + std::to_string(getpid());
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::CInput input(data, size);
  const std::size_t before = (input.Byte() << 8 | input.Byte());
  const std::string tail = input.Rest();
  // Short lines up to the boundary, the input straddling it.
  std::string file;
  const std::size_t fill = kBlockSize - before % (tail.size() + 1);
  while (file.size() < fill) file += std::string(std::min<std::size_t>(kFillLine, fill - file.size() - 1), 'a') + "\n";
  file.resize(fill);
  file += tail;

  std::FILE* out = std::fopen(Path().c_str(), "wb");
  FUZZ_CHECK(out != nullptr);
  FUZZ_CHECK(std::fwrite(file.data(), 1, file.size(), out) == file.size());
  std::fclose(out);

  platform::CTextFileReader reader;
  FUZZ_CHECK(reader.Open(Path()));
  std::vector<std::string> lines;
  for (std::string line; reader.ReadLine(line);) lines.push_back(line);
  FUZZ_CHECK(lines == ExpectedLines(file));
  return 0;
}
