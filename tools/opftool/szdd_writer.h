// The LZ-compressed file format that the platform's expansion service reads
// (SZDD, compression type 'A'): authors publish control files in it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace opftool {

// The whole compressed file for `data`: the 14-byte header (magic, 'A',
// `missingCharacter`, the uncompressed length), then groups of eight tokens,
// each group led by a flag byte whose bits (lowest first) mark literal
// bytes; other tokens are two-byte references of 3 to 18 bytes into a
// 4096-byte window that starts filled with spaces at position 4096 - 16.
std::vector<std::uint8_t> CompressSzdd(std::span<const std::uint8_t> data, char missingCharacter);

}  // namespace opftool
