// The two pieces of zlib a PNG needs: the zlib stream of the picture's
// rows and the chunks' CRC-32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tovana {

// zlib's on Linux; on Windows, where only zlib's DLL is packaged, the
// library-free pair below.
std::vector<unsigned char> ZlibStream(const std::vector<unsigned char>& raw);
std::uint32_t Crc32(const unsigned char* bytes, std::size_t size);

// A zlib stream of stored (uncompressed) deflate blocks: every PNG reader
// takes it; the file is just larger.
std::vector<unsigned char> StoredZlibStream(const std::vector<unsigned char>& raw);
std::uint32_t BitwiseCrc32(const unsigned char* bytes, std::size_t size);

}  // namespace tovana
