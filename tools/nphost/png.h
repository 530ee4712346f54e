// A small PNG writer: 8-bit RGB, no filtering, zlib "stored" blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nphost {

// `pixels` holds width*height values 0x00RRGGBB, top row first.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint32_t>& pixels);

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t Adler32(const std::vector<std::uint8_t>& data);

}  // namespace nphost
