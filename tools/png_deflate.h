// The two pieces of zlib a PNG needs: the zlib stream of the picture's
// rows and the chunks' CRC-32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tovana {

std::vector<unsigned char> ZlibStream(const std::vector<unsigned char>& raw);
std::uint32_t Crc32(const unsigned char* bytes, std::size_t size);

}  // namespace tovana
