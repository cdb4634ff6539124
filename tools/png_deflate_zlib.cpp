// Compressed, through zlib.
#include <zlib.h>

#include "tools/png_deflate.h"

namespace tovana {

std::vector<unsigned char> ZlibStream(const std::vector<unsigned char>& raw) {
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) return {};
    packed.resize(packedSize);
    return packed;
}

std::uint32_t Crc32(const unsigned char* bytes, std::size_t size) {
    return static_cast<std::uint32_t>(crc32(0L, bytes, static_cast<uInt>(size)));
}

}  // namespace tovana
