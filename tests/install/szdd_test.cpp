// opftool's LZ compression read back by the platform's expansion service.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "install/control_placement.h"
#include "install_fixture.h"
#include "opftool/szdd_writer.h"

namespace test {
namespace {

std::string RandomBytes(std::size_t count) {
    std::mt19937 generator(20261208);
    std::string bytes(count, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

std::string Repeated(const std::string& piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) text += piece;
    return text;
}

std::vector<std::uint8_t> Compress(const std::string& bytes) {
    return opftool::CompressSzdd(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, 'x');
}

class Szdd : public InstallTest {};

TEST_F(Szdd, ThePlatformExpandsWhatOpftoolCompresses) {
    const struct {
        const char* name;
        std::string data;
    } cases[] = {
        {"empty", ""},
        {"one byte", "Q"},
        {"spaces, as the window starts", std::string(5000, ' ')},
        {"repetitive", Repeated("tick tock ", 9000)},
        {"random 100 KB", RandomBytes(100 * 1024)},
        {"longer than the window, then repeated", Repeated(RandomBytes(5000), 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::uint8_t> packed = Compress(c.data);
        ASSERT_GE(packed.size(), 14u);
        EXPECT_EQ(std::string("SZDD\x88\xF0\x27\x33" "A" "x"), std::string(packed.begin(), packed.begin() + 10));
        const std::uint32_t length = packed[10] | packed[11] << 8 | packed[12] << 16 | packed[13] << 24;
        EXPECT_EQ(c.data.size(), length);

        const std::string source = WriteScratchFile("packed.oc_", std::string(packed.begin(), packed.end()));
        const std::string target = scratch_ + "expanded.ocx";
        ASSERT_TRUE(install::ExpandLzFile(Wide(source), Wide(target)));
        EXPECT_TRUE(ReadWholeFile(target) == c.data);
    }
}

TEST_F(Szdd, RepetitiveDataShrinks) {
    EXPECT_LT(Compress(Repeated("tick tock ", 9000)).size(), 90000u / 5);
}

}  // namespace
}  // namespace test
