#include "platform/file_chunks.h"

#include <fstream>
#include <string>
#include <system_error>

namespace platform {

bool ReadFileChunks(const std::filesystem::path& path, std::size_t chunk,
                    const std::function<bool(std::string_view)>& consume) {
  std::error_code ec;
  if (chunk == 0 || !std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string buffer(chunk, '\0');
  for (;;) {
    in.read(buffer.data(), static_cast<std::streamsize>(chunk));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (in.bad()) return false;
    if (got > 0 && !consume(std::string_view(buffer.data(), got))) return false;
    if (got < chunk) return in.eof();
  }
}

}  // namespace platform
