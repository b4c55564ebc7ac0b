// Reading a file of any size piece by piece, so that a large file is never
// held whole in memory while it is being turned into something else.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string_view>

namespace platform {

// Calls `consume` with the bytes of the regular file `path`, in order, in
// pieces of `chunk` bytes (the last one shorter). False when the file cannot
// be opened or read, or is no regular file, or when `consume` returns false.
bool ReadFileChunks(const std::filesystem::path& path, std::size_t chunk,
                    const std::function<bool(std::string_view)>& consume);

}  // namespace platform
