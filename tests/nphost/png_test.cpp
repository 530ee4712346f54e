// The PNG writer's checksums, by their published check values.
#include <gtest/gtest.h>

#include "png.h"

namespace {

TEST(PngTest, ChecksumsMatchTheirCheckValues) {
    const std::string digits = "123456789";
    EXPECT_EQ(0xCBF43926u, nphost::Crc32(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()));
    const std::string word = "Wikipedia";
    EXPECT_EQ(0x11E60398u, nphost::Adler32(std::vector<std::uint8_t>(word.begin(), word.end())));
}

}  // namespace
