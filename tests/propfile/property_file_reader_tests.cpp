// CPropertyFileReader on real compound files: how each value's bytes become
// the record's fields, and how a broken file ends the read.
#include <gtest/gtest.h>

#include <climits>

#include "fixture_files.h"
#include "opftool/property_file_builder.h"
#include "propfile/header_value.h"
#include "propfile/property_file_reader.h"

namespace {

using namespace std::string_literals;
using propfile_test::PropertyFileTree;
using propfile_test::Streams;
using propfile_test::TempFolder;

class PropertyFileReaderTest : public testing::Test {
protected:
    // Writes `root` and reads it into `info_`.
    BOOL WriteAndRead(const opftool::StorageNode& root) {
        EXPECT_EQ(S_OK, opftool::WriteCompoundFile(path_, root));
        info_ = std::make_unique<propfile::COCXInfo>();
        return propfile::CPropertyFileReader().ReadPropertyFile(path_, *info_);
    }
    TempFolder folder_;
    const std::string path_ = folder_.File("control.opf");
    std::unique_ptr<propfile::COCXInfo> info_;
};

TEST_F(PropertyFileReaderTest, ReadsEveryHeaderValueAndTheClass) {
    opftool::PropertyFileContent content;
    content.clsid = propfile_test::kTestClsid;
    content.browserVersion = "4.0";
    content.headers = {{"Company Name", "Company"},       {"File Description", "Description"},
                       {"Legal Copyright", "(c) 1997"},   {"Legal Trademarks", "TM"},
                       {"Product Name", "Product"},       {"Product Version", "1, 2, 3, 4"},
                       {"Filename Url", "ctl/ctl.oc_"},   {"License Url", "http://x/lic"},
                       {"Width", "640"},                  {"Height", "480"},
                       {"IsCompressed", "TRUE"}};
    ASSERT_TRUE(WriteAndRead(opftool::BuildPropertyFile(content)));
    const propfile::COCXInfo& i = *info_;
    EXPECT_EQ("4.0", i.browserVersion);
    EXPECT_EQ("Company", i.companyName);
    EXPECT_EQ("Description", i.fileDescription);
    EXPECT_EQ("(c) 1997", i.legalCopyright);
    EXPECT_EQ("TM", i.legalTrademarks);
    EXPECT_EQ("Product", i.productName);
    EXPECT_EQ("1, 2, 3, 4", i.productVersion);
    EXPECT_EQ("ctl/ctl.oc_", i.filenameUrl);
    EXPECT_EQ("http://x/lic", i.licenseUrl);
    EXPECT_EQ(640, i.headerWidth);
    EXPECT_EQ(480, i.headerHeight);
    EXPECT_EQ(TRUE, i.isCompressed);
    EXPECT_TRUE(IsEqualCLSID(propfile_test::kTestClsid, i.clsid));
    EXPECT_EQ(propfile_test::kTestClsidText, i.clsidText);
    EXPECT_TRUE(propfile_test::CanOpenExclusively(path_));
}

TEST_F(PropertyFileReaderTest, NoValueStreamsGivesEmptyValues) {
    ASSERT_TRUE(WriteAndRead(PropertyFileTree({})));
    EXPECT_EQ("", info_->browserVersion + info_->companyName + info_->productVersion +
                      info_->filenameUrl + info_->licenseUrl);
    EXPECT_EQ(0, info_->headerWidth);
    EXPECT_EQ(0, info_->headerHeight);
    EXPECT_EQ(FALSE, info_->isCompressed);
    EXPECT_EQ(propfile_test::kTestClsidText, info_->clsidText);
}

TEST_F(PropertyFileReaderTest, WidthAndHeightAreReadAsAtoiDoes) {
    const std::pair<std::string, int32_t> cases[] = {
        {"640\0"s, 640},          {" 320abc\0"s, 320},   {"-5\0"s, -5},
        {"abc\0"s, 0},            {"+7"s, 7},            {"\t\n 12\0"s, 12},
        {"- 5\0"s, 0},            {""s, 0},              {"12\0" "34"s, 12},
        {"2147483647"s, INT_MAX}, {"99999999999"s, INT_MAX}, {"-99999999999"s, INT_MIN},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE("value bytes \"" + bytes + "\"");
        ASSERT_TRUE(WriteAndRead(PropertyFileTree({{"Width", bytes}, {"Height", bytes}})));
        EXPECT_EQ(expected, info_->headerWidth);
        EXPECT_EQ(expected, info_->headerHeight);
    }
}

TEST_F(PropertyFileReaderTest, IsCompressedOnlyForExactlyTRUE) {
    const std::pair<std::string, BOOL> cases[] = {
        {"TRUE\0"s, TRUE},  {"TRUE"s, TRUE},    {"TRUE\0junk"s, TRUE}, {"true\0"s, FALSE},
        {"True\0"s, FALSE}, {"TRUE \0"s, FALSE}, {" TRUE\0"s, FALSE},  {"\0"s, FALSE},
        {"1\0"s, FALSE},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE("value bytes \"" + bytes + "\"");
        ASSERT_TRUE(WriteAndRead(PropertyFileTree({{"IsCompressed", bytes}})));
        EXPECT_EQ(expected, info_->isCompressed);
    }
}

TEST_F(PropertyFileReaderTest, TextValueIsTheBytesUpToTheFirstZeroWithin256) {
    const std::pair<std::string, std::string> cases[] = {
        {std::string(300, 'p'), std::string(256, 'p')},
        {std::string(256, 'q'), std::string(256, 'q')},
        {std::string(256, 'r') + '\0', std::string(256, 'r')},
        {"no zero byte"s, "no zero byte"s},
        {"abc\0def"s, "abc"s},
        {"\0abc"s, ""s},
        {" keeps blanks \0"s, " keeps blanks "s},
        {"\xE9t\xE9\0"s, "\xE9t\xE9"s},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE("stream of " + std::to_string(bytes.size()) + " bytes");
        ASSERT_TRUE(WriteAndRead(PropertyFileTree({{"Product Name", bytes}})));
        EXPECT_EQ(expected, info_->productName);
    }
}

TEST_F(PropertyFileReaderTest, BrowserVersionIsReadFromTheRootOnly) {
    ASSERT_TRUE(WriteAndRead(PropertyFileTree({{"Browser Version", "3.0\0"s}})));
    EXPECT_EQ("", info_->browserVersion);
    ASSERT_TRUE(WriteAndRead(PropertyFileTree({}, propfile_test::kTestClsid,
                                              {{"Browser Version", "3.0\0"s}})));
    EXPECT_EQ("3.0", info_->browserVersion);
}

// A storage with no class written carries the null class, which structured
// storage reports like any other.
TEST_F(PropertyFileReaderTest, StorageWithoutWrittenClassReadsAsTheNullClass) {
    ASSERT_TRUE(WriteAndRead(PropertyFileTree({}, std::nullopt)));
    EXPECT_TRUE(IsEqualCLSID(CLSID_NULL, info_->clsid));
    EXPECT_EQ("{00000000-0000-0000-0000-000000000000}", info_->clsidText);
}

TEST_F(PropertyFileReaderTest, BrokenFilesEndTheReadKeepingWhatWasRead) {
    const Streams root = {{"Browser Version", "2.0\0"s}};
    const Streams header = {{"Company Name", "Company\0"s}};
    opftool::StorageNode noObjectSection = PropertyFileTree(header, propfile_test::kTestClsid, root);
    noObjectSection.storages.pop_back();
    opftool::StorageNode noHeaderSection = PropertyFileTree(header, propfile_test::kTestClsid, root);
    noHeaderSection.storages.erase(noHeaderSection.storages.begin());

    struct Case {
        const char* name;
        const opftool::StorageNode& tree;
        const char* companyName;
    };
    for (const Case& c : {Case{"no \"Object Property Section\"", noObjectSection, "Company"},
                          Case{"no \"Header Section\"", noHeaderSection, ""}}) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(WriteAndRead(c.tree));
        EXPECT_EQ("2.0", info_->browserVersion);
        EXPECT_EQ(c.companyName, info_->companyName);
        EXPECT_TRUE(IsEqualCLSID(CLSID_NULL, info_->clsid));
        EXPECT_EQ("", info_->clsidText);
        EXPECT_TRUE(propfile_test::CanOpenExclusively(path_));
    }
}

TEST_F(PropertyFileReaderTest, FilesThatAreNoCompoundFilesGiveFalse) {
    propfile_test::WriteRawFile(folder_.File("text.opf"), "Company Name=Company\n");
    for (const std::string& path : {folder_.File("missing.opf"), folder_.File("text.opf")}) {
        SCOPED_TRACE(path);
        propfile::COCXInfo info;
        EXPECT_FALSE(propfile::CPropertyFileReader().ReadPropertyFile(path, info));
        EXPECT_EQ("", info.browserVersion + info.clsidText);
    }
}

TEST(ReadControlClassTest, UnreadableClassLeavesTheRecordAlone) {
    propfile::COCXInfo info;
    info.clsidText = "unchanged";
    EXPECT_FALSE(propfile::CPropertyFileReader().ReadControlClass(nullptr, info));
    EXPECT_EQ("unchanged", info.clsidText);
    EXPECT_TRUE(IsEqualCLSID(CLSID_NULL, info.clsid));
}

// Header values and the page's embed arguments are read by the one parser.
TEST(Integers, ParseLikeTheCLibraryAndSaturate) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"320", 320}, {"  42", 42}, {"+7", 7}, {"-5", -5}, {"50%", 50}, {"abc", 0}, {"", 0},
        {"2147483647", 2147483647}, {"2147483648", 2147483647}, {"99999999999999999999", 2147483647},
        {"-2147483648", -2147483647 - 1}, {"-99999999999999", -2147483647 - 1}, {nullptr, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value, propfile::ParseInteger(c.text)) << (c.text ? c.text : "(null)");
    }
}

}  // namespace
