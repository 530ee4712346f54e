// Damaged property files: bytes flipped or the file cut short at random
// (fixed seed). Every read must end, without a crash, and let go of the file.
#include <gtest/gtest.h>

#include <random>

#include "fixture_files.h"
#include "opftool/property_file_builder.h"
#include "propfile/property_file_reader.h"

namespace {

using propfile_test::TempFolder;

std::string IntactPropertyFile(const std::string& path) {
    opftool::PropertyFileContent content;
    content.clsid = propfile_test::kTestClsid;
    content.browserVersion = "4.0";
    content.headers = {{"Company Name", "Company"}, {"Product Version", "1, 0, 0, 1"},
                       {"Filename Url", "ctl.oc_"},  {"Width", "320"},
                       {"IsCompressed", "TRUE"}};
    content.contents = std::string(5000, 's');  // beyond the mini stream
    EXPECT_EQ(S_OK, opftool::WriteCompoundFile(path, opftool::BuildPropertyFile(content)));
    return propfile_test::ReadRawFile(path);
}

std::string Mutate(std::string bytes, std::mt19937& random) {
    std::uniform_int_distribution<std::size_t> position(0, bytes.size() - 1);
    if (random() % 4 == 0) {
        bytes.resize(position(random));
        return bytes;
    }
    const unsigned flips = 1 + random() % 12;
    for (unsigned i = 0; i < flips; ++i) {
        bytes[position(random)] ^= static_cast<char>(1 + random() % 255);
    }
    return bytes;
}

TEST(MutationSweepTest, DamagedFilesAreReadSafely) {
    TempFolder folder;
    const std::string path = folder.File("damaged.opf");
    const std::string intact = IntactPropertyFile(path);
    ASSERT_GT(intact.size(), 512u);
    std::mt19937 random(20240611);
    int readCompletely = 0;
    for (int i = 0; i < 300; ++i) {
        SCOPED_TRACE("mutant " + std::to_string(i));
        propfile_test::WriteRawFile(path, Mutate(intact, random));
        propfile::COCXInfo info;
        if (propfile::CPropertyFileReader().ReadPropertyFile(path, info)) {
            ++readCompletely;
            EXPECT_EQ(38u, info.clsidText.size());
        }
        EXPECT_LE(info.companyName.size(), 256u);
        ASSERT_TRUE(propfile_test::CanOpenExclusively(path));
    }
    // Most single flips land in unused sector space; both outcomes must occur.
    EXPECT_GT(readCompletely, 0);
    EXPECT_LT(readCompletely, 300);
}

}  // namespace
