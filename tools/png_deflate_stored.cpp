// The zlib stream and checksum of a PNG without zlib.
#include "tools/png_deflate.h"

namespace tovana {
namespace {

std::uint32_t Adler32(const std::vector<unsigned char>& bytes) {
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : bytes) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

}  // namespace

std::vector<unsigned char> StoredZlibStream(const std::vector<unsigned char>& raw) {
    constexpr std::size_t kMaxBlock = 65535;
    std::vector<unsigned char> out = {0x78, 0x01};  // deflate, 32 KiB window, no preset dictionary
    std::size_t at = 0;
    do {
        const std::size_t length = raw.size() - at < kMaxBlock ? raw.size() - at : kMaxBlock;
        const bool last = at + length == raw.size();
        out.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00: stored
        out.push_back(static_cast<unsigned char>(length));
        out.push_back(static_cast<unsigned char>(length >> 8));
        out.push_back(static_cast<unsigned char>(~length));
        out.push_back(static_cast<unsigned char>(~length >> 8));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < raw.size());
    const std::uint32_t check = Adler32(raw);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(check >> shift));
    return out;
}

std::uint32_t BitwiseCrc32(const unsigned char* bytes, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

}  // namespace tovana
