// The exports and callbacks as a browser meets them.
#include <cstring>

#include <gtest/gtest.h>

#include "host_fixture.h"
#include "plugin/browser_services.h"

using namespace plugin;  // the plug-in's own classes under test

namespace {

TEST(EntryPoints, PluginTableSizeIsChecked) {
    NPPluginFuncs funcs = {};
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, NP_GetEntryPoints(nullptr));
    funcs.size = kPluginFuncsMinSize - 1;
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, NP_GetEntryPoints(&funcs));
    EXPECT_EQ(nullptr, funcs.newp);

    funcs.size = kPluginFuncsMinSize;
    ASSERT_EQ(NPERR_NO_ERROR, NP_GetEntryPoints(&funcs));
    EXPECT_EQ(0x0006, funcs.version);
    EXPECT_EQ(kPluginFuncsMinSize, funcs.size);
    for (auto entry : {reinterpret_cast<void*>(funcs.newp), reinterpret_cast<void*>(funcs.destroy),
                       reinterpret_cast<void*>(funcs.setwindow), reinterpret_cast<void*>(funcs.newstream),
                       reinterpret_cast<void*>(funcs.destroystream), reinterpret_cast<void*>(funcs.asfile),
                       reinterpret_cast<void*>(funcs.writeready), reinterpret_cast<void*>(funcs.write),
                       reinterpret_cast<void*>(funcs.print)}) {
        EXPECT_NE(nullptr, entry);
    }
    EXPECT_EQ(nullptr, funcs.event);
    EXPECT_EQ(nullptr, funcs.urlnotify);  // no room for it in the browser's table

    funcs.size = kPluginFuncsNotifySize;
    ASSERT_EQ(NPERR_NO_ERROR, NP_GetEntryPoints(&funcs));
    EXPECT_NE(nullptr, funcs.urlnotify);
}

struct InitializeCase {
    uint16_t version;
    uint16_t size;
    NPError expected;
};

TEST(EntryPoints, InitializeChecksVersionThenSizeAndKeepsTheTable) {
    const InitializeCase cases[] = {
        {0x0100, 200, NPERR_INCOMPATIBLE_VERSION_ERROR},
        {0x0009, kNetscapeFuncsMinSize - 1, NPERR_INVALID_FUNCTABLE_ERROR},
        {0x0009, kNetscapeFuncsMinSize, NPERR_NO_ERROR},
        {0x0000, kNetscapeFuncsMinSize, NPERR_NO_ERROR},
    };
    for (const InitializeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "version " << c.version << " size " << c.size);
        NPNetscapeFuncs funcs = {};
        funcs.version = c.version;
        funcs.size = c.size;
        EXPECT_EQ(c.expected, NP_Initialize(&funcs));
        EXPECT_EQ(&funcs, BrowserFuncs());  // stored before any check
        EXPECT_EQ(NPERR_NO_ERROR, NP_Shutdown());
        EXPECT_EQ(nullptr, BrowserFuncs());
    }
    EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, NP_Initialize(nullptr));
}

TEST(DeliveredFiles, AreSortedByTheExtensionOfTheirUrl) {
    const struct {
        const char* url;
        DeliveredFileKind kind;
    } cases[] = {
        {"http://h/ctl.OPF", DeliveredFileKind::PropertyFile},
        {"http://h/a.opf", DeliveredFileKind::PropertyFile},
        {"http://h/x.oc_", DeliveredFileKind::ControlFile},
        {"http://h/y.Z", DeliveredFileKind::ControlFile},
        {"http://h/c.OCX", DeliveredFileKind::ControlFile},
        {"http://h/data.txt", DeliveredFileKind::RequestedFile},
        {"http://h.example/dir/noextension", DeliveredFileKind::RequestedFile},
        {"http://h/file.opf?v=2", DeliveredFileKind::RequestedFile},
        {"noextension", DeliveredFileKind::RequestedFile},
        {"", DeliveredFileKind::RequestedFile},
    };
    for (const auto& c : cases) EXPECT_EQ(c.kind, ClassifyDeliveredFile(c.url)) << c.url;
    EXPECT_EQ("opf?v=2", UrlExtension("http://h/file.opf?v=2"));
}

using Callbacks = HostTest;

TEST_F(Callbacks, NewInstanceTakesTheEmbedSize) {
    const struct {
        std::vector<std::pair<std::string, std::string>> arguments;
        int32_t width;
        int32_t height;
    } cases[] = {
        {{{"WIDTH", "320"}, {"Height", "240"}}, 320, 240},
        {{}, 100, 100},
        {{{"src", "x.opf"}, {"width", "abc"}}, 0, 100},
        {{{"width", "50%"}, {"width", "60"}, {"HEIGHT", "7"}}, 60, 7},
    };
    for (const auto& c : cases) {
        nphost::Instance& instance = browser.NewInstance();
        ASSERT_EQ(NPERR_NO_ERROR, instance.New(c.arguments));
        PluginInstanceData* record = Record(instance);
        ASSERT_NE(nullptr, record);
        EXPECT_EQ(c.width, record->width);
        EXPECT_EQ(c.height, record->height);
        EXPECT_EQ(nullptr, record->window);
        EXPECT_EQ(NPERR_NO_ERROR, instance.Destroy());
        EXPECT_EQ(nullptr, instance.npp()->pdata);
    }
    EXPECT_EQ(0, browser.liveAllocations());
}

TEST_F(Callbacks, OutOfBrowserMemoryFailsTheInstance) {
    browser.refuseMemory = true;
    nphost::Instance& instance = browser.NewInstance();
    EXPECT_EQ(NPERR_OUT_OF_MEMORY_ERROR, instance.New({}));
    EXPECT_EQ(nullptr, instance.npp()->pdata);
}

TEST_F(Callbacks, NullInstancesAreRefused) {
    NPPluginFuncs& f = browser.pluginFuncs();
    NPWindow window = {};
    uint16_t type = 0;
    EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, f.newp(nullptr, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr));
    EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, f.destroy(nullptr, nullptr));
    EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, f.setwindow(nullptr, &window));
    EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, f.newstream(nullptr, nullptr, nullptr, false, &type));
    EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, f.destroystream(nullptr, nullptr, NPRES_DONE));
    f.asfile(nullptr, nullptr, "x");  // must simply return

    nphost::Instance& instance = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
    EXPECT_EQ(NPERR_GENERIC_ERROR, f.setwindow(instance.npp(), nullptr));
    NPP_t bare = {};
    EXPECT_EQ(NPERR_GENERIC_ERROR, f.setwindow(&bare, &window));
}

TEST_F(Callbacks, StreamsAreAskedForAsFilesAndAllDataIsTaken) {
    nphost::Instance& instance = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
    NPStream stream = {};
    stream.url = "http://h/data.bin";
    uint16_t type = NP_NORMAL;
    EXPECT_EQ(NPERR_NO_ERROR,
              browser.pluginFuncs().newstream(instance.npp(), const_cast<char*>("text/plain"), &stream, false, &type));
    EXPECT_EQ(NP_ASFILE, type);
    EXPECT_EQ(268435455, browser.pluginFuncs().writeready(instance.npp(), &stream));
    char data[17] = {};
    EXPECT_EQ(17, browser.pluginFuncs().write(instance.npp(), &stream, 0, 17, data));
    EXPECT_EQ(NPERR_NO_ERROR, browser.pluginFuncs().destroystream(instance.npp(), &stream, NPRES_NETWORK_ERR));
}

TEST_F(Callbacks, FilesWithoutAWindowOrUrlAreIgnored) {
    nphost::Instance& instance = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
    NPStream stream = {};
    browser.pluginFuncs().asfile(instance.npp(), nullptr, "C:\\x.opf");
    browser.pluginFuncs().asfile(instance.npp(), &stream, "C:\\x.opf");  // null url
    instance.Deliver("http://h/x.opf", "C:\\does-not-exist.opf");      // no window yet
    EXPECT_EQ(nullptr, Record(instance)->window);
}

TEST_F(Callbacks, FullPagePrintingLeavesItToTheBrowser) {
    nphost::Instance& instance = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
    NPPrint full = {};
    full.mode = NP_FULL;
    full.print.fullPrint.pluginPrinted = true;
    browser.pluginFuncs().print(instance.npp(), &full);
    EXPECT_FALSE(full.print.fullPrint.pluginPrinted);

    NPPrint embedded = {};
    embedded.mode = NP_EMBED;
    embedded.print.embedPrint.platformPrint = &embedded;
    const NPPrint before = embedded;
    browser.pluginFuncs().print(instance.npp(), &embedded);
    EXPECT_EQ(0, std::memcmp(&before, &embedded, sizeof embedded));
    browser.pluginFuncs().print(instance.npp(), nullptr);
}

}  // namespace
