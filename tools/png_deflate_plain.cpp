// The PNG's stream without zlib: stored blocks.
#include "tools/png_deflate.h"

namespace tovana {

std::vector<unsigned char> ZlibStream(const std::vector<unsigned char>& raw) { return StoredZlibStream(raw); }

std::uint32_t Crc32(const unsigned char* bytes, std::size_t size) { return BitwiseCrc32(bytes, size); }

}  // namespace tovana
