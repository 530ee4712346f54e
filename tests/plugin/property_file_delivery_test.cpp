// A property file delivered through the browser reaches the instance's record.
#include <string>

#include <gtest/gtest.h>

#include "host_fixture.h"
#include "opftool/compound_file_writer.h"
#include "opftool/property_file_builder.h"
#include "plugin/control_window.h"
#include "plugin/plugin_window.h"
#include "propfile/ocx_info.h"

using namespace plugin;  // the plug-in's own classes under test

namespace {

constexpr CLSID kControl = {0x5a1e0c01, 0x1d2b, 0x4c3a, {0x9e, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};

class PropertyFileDelivery : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        char directory[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, directory);
        path_ = std::string(directory) + "delivery-" + std::to_string(::GetCurrentProcessId()) + ".opf";
    }
    void TearDown() override { ::DeleteFileA(path_.c_str()); }

    void WriteFile(const opftool::PropertyFileContent& content) {
        ASSERT_EQ(S_OK, opftool::WriteCompoundFile(path_, opftool::BuildPropertyFile(content)));
    }
    const propfile::COCXInfo* RecordOf(nphost::Instance& instance) {
        return Record(instance)->window->GetControlWindow()->Record();
    }

    std::string path_;
};

TEST_F(PropertyFileDelivery, FillsTheRecordWithTheFileTheUrlAndTheEmbedSize) {
    opftool::PropertyFileContent content;
    content.clsid = kControl;
    content.headers = {{"Product Name", "Clock"}, {"Width", "640"}, {"IsCompressed", "TRUE"}};
    WriteFile(content);

    nphost::Instance& instance = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({{"width", "320"}}));
    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    instance.Deliver("http://host/a/b/x.opf", path_);

    const propfile::COCXInfo* info = RecordOf(instance);
    ASSERT_NE(nullptr, info);
    EXPECT_EQ("Clock", info->productName);
    EXPECT_EQ(640, info->headerWidth);
    EXPECT_TRUE(info->isCompressed);
    EXPECT_TRUE(::IsEqualCLSID(kControl, info->clsid));
    EXPECT_EQ("{5A1E0C01-1D2B-4C3A-9E11-223344556677}", info->clsidText);
    EXPECT_EQ("http://host/a/b/", info->baseUrl);
    EXPECT_EQ(path_, info->propertyFilePath);
    EXPECT_EQ(320, info->windowWidth);  // the page's size, never the file's
    EXPECT_EQ(100, info->windowHeight);
}

// A browser may deliver the embed's file before its first window, and delete
// its copy right after: the file is loaded when the window comes.
TEST_F(PropertyFileDelivery, AFileDeliveredBeforeTheWindowIsLoadedWhenItComes) {
    opftool::PropertyFileContent content;
    content.clsid = kControl;
    content.headers = {{"Product Name", "Early"}};
    WriteFile(content);
    nphost::Instance& instance = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
    instance.Deliver("http://host/early/x.opf", path_);
    ASSERT_TRUE(::DeleteFileA(path_.c_str()));
    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());

    const propfile::COCXInfo* info = RecordOf(instance);
    ASSERT_NE(nullptr, info);
    EXPECT_EQ("Early", info->productName);
    EXPECT_TRUE(::IsEqualCLSID(kControl, info->clsid));
    EXPECT_EQ("http://host/early/", info->baseUrl);
}

TEST_F(PropertyFileDelivery, BaseUrlEndsAtTheLastSlash) {
    WriteFile({});
    const struct {
        const char* url;
        const char* base;
    } cases[] = {{"http://host/a/b/x.opf", "http://host/a/b/"}, {"x.opf", ""}, {"/x.opf", "/"}};
    for (const auto& c : cases) {
        nphost::Instance& instance = browser.NewInstance();
        ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
        ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
        instance.Deliver(c.url, path_);
        ASSERT_NE(nullptr, RecordOf(instance)) << c.url;
        EXPECT_EQ(c.base, RecordOf(instance)->baseUrl) << c.url;
        EXPECT_EQ(NPERR_NO_ERROR, instance.Destroy());
    }
}

TEST_F(PropertyFileDelivery, AnUnreadableFileStillMakesARecord) {
    nphost::Instance& instance = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    instance.Deliver("http://host/x.opf", path_ + ".missing");
    ASSERT_NE(nullptr, RecordOf(instance));
    EXPECT_TRUE(::IsEqualCLSID(CLSID_NULL, RecordOf(instance)->clsid));
    EXPECT_EQ("http://host/", RecordOf(instance)->baseUrl);
}

TEST_F(PropertyFileDelivery, ASecondPropertyFileIsIgnored) {
    opftool::PropertyFileContent content;
    content.headers = {{"Product Name", "First"}};
    WriteFile(content);
    nphost::Instance& instance = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    instance.Deliver("http://host/one/x.opf", path_);
    const propfile::COCXInfo* first = RecordOf(instance);

    content.headers = {{"Product Name", "Second"}};
    WriteFile(content);
    instance.Deliver("http://host/two/y.opf", path_);
    EXPECT_EQ(first, RecordOf(instance));
    EXPECT_EQ("First", RecordOf(instance)->productName);
    EXPECT_EQ("http://host/one/", RecordOf(instance)->baseUrl);
}

}  // namespace
