// The structural check that keeps damaged compound files away from the
// platform's storage code: each kind of damage that made it loop is refused.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "fixture_files.h"
#include "opftool/property_file_builder.h"
#include "propfile/compound_file_check.h"
#include "propfile/ole_error.h"
#include "propfile/storage_file.h"

namespace {

uint32_t U32At(const std::string& bytes, std::size_t offset) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

void SetU32(std::string& bytes, std::size_t offset, uint32_t value) {
    std::memcpy(bytes.data() + offset, &value, 4);
}

// Offsets in a file of 512-byte sectors, as the writer makes them.
std::size_t Sector(uint32_t index) { return (index + 1) * 512; }
std::size_t RootEntry(const std::string& bytes) { return Sector(U32At(bytes, 0x30)); }
std::size_t FatEntry(const std::string& bytes, uint32_t sector) {
    return Sector(U32At(bytes, 0x4C)) + 4 * sector;
}

TEST(CompoundFileCheckTest, RefusesCircularOrOutOfRangeStructures) {
    propfile_test::TempFolder folder;
    const std::string path = folder.File("check.opf");
    opftool::PropertyFileContent content;
    content.clsid = propfile_test::kTestClsid;
    content.headers = {{"Company Name", "Company"}};
    content.contents = std::string(6000, 'c');
    ASSERT_EQ(S_OK, opftool::WriteCompoundFile(path, opftool::BuildPropertyFile(content)));
    const std::string intact = propfile_test::ReadRawFile(path);
    ASSERT_EQ(512u, std::size_t{1} << (U32At(intact, 0x1E) & 0xFFFF));

    struct Case {
        const char* damage;
        std::function<void(std::string&)> apply;
        bool sound;
    };
    const Case cases[] = {
        {"none", [](std::string&) {}, true},
        {"no compound file at all", [](std::string& b) { b = "plain text"; }, true},
        {"root's child is the root", [](std::string& b) { SetU32(b, RootEntry(b) + 0x4C, 0); }, false},
        {"entry is its own sibling",
         [](std::string& b) { SetU32(b, RootEntry(b) + 128 + 0x44, U32At(b, RootEntry(b) + 0x4C)); },
         false},
        {"child beyond the directory", [](std::string& b) { SetU32(b, RootEntry(b) + 0x4C, 5000); },
         false},
        {"directory chain loops",
         [](std::string& b) { SetU32(b, FatEntry(b, U32At(b, 0x30)), U32At(b, 0x30)); }, false},
        {"directory beyond the end", [](std::string& b) { SetU32(b, 0x30, 0x7FFF); }, false},
        {"cut after the header", [](std::string& b) { b.resize(700); }, false},
        {"cut inside the directory", [](std::string& b) { b.resize(RootEntry(b) + 64); }, false},
        {"odd sector size", [](std::string& b) { b[0x1E] = 10; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("damage: ") + c.damage);
        std::string bytes = intact;
        c.apply(bytes);
        EXPECT_EQ(c.sound, propfile::HasSoundCompoundStructure(bytes));
        if (c.sound) continue;
        propfile_test::WriteRawFile(path, bytes);
        propfile::CStorageFile file;
        try {
            file.Open(path);
            ADD_FAILURE() << "Open succeeded";
        } catch (const propfile::OleError& error) {
            EXPECT_EQ(STG_E_DOCFILECORRUPT, error.status());
        }
    }
}

}  // namespace
