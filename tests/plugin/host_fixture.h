// A browser from the test host around the plug-in code linked into the test
// program, so tests can drive it as a browser does and look inside.
#pragma once

#include <gtest/gtest.h>

#include "browser.h"
#include "npapi/npapi.h"
#include "plugin/plugin_instance.h"

extern "C" NPError WINAPI NP_GetEntryPoints(NPPluginFuncs* pluginFuncs);
extern "C" NPError WINAPI NP_Initialize(NPNetscapeFuncs* browserFuncs);
extern "C" NPError WINAPI NP_Shutdown();

class HostTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(NPERR_NO_ERROR, browser.Initialize()); }

    // A new instance made by NPP_New without arguments and given the browser's
    // window; a failing step is fatal (use with ASSERT_NO_FATAL_FAILURE).
    void NewAttachedInstance(nphost::Instance*& instance) {
        instance = &browser.NewInstance();
        ASSERT_EQ(NPERR_NO_ERROR, instance->New({}));
        ASSERT_EQ(NPERR_NO_ERROR, instance->SetWindow());
    }

    // The browsers the plug-in tells apart for URL notification: the test
    // host's own, which offers it, and two that do not.
    enum class UrlNotify { offered, version8, tableWithoutIt };
    static constexpr UrlNotify kUrlNotifyBrowsers[] = {UrlNotify::offered, UrlNotify::version8,
                                                       UrlNotify::tableWithoutIt};
    static const char* Name(UrlNotify browser) {
        return browser == UrlNotify::offered    ? "with URL notification"
               : browser == UrlNotify::version8 ? "version 8"
                                                : "table without geturlnotify";
    }
    // Makes the browser (whose table the plug-in keeps) one of those.
    void UseBrowser(UrlNotify kind) {
        NPNetscapeFuncs& table = browser.browserFuncs();
        table.version = kind == UrlNotify::version8
                            ? (NP_VERSION_MAJOR << 8) | (NPVERS_HAS_NOTIFICATION - 1)
                            : hostTable_.version;
        table.size = kind == UrlNotify::tableWithoutIt ? kNetscapeFuncsNotifySize - 1
                                                       : hostTable_.size;
    }

    static plugin::PluginInstanceData* Record(nphost::Instance& instance) {
        return static_cast<plugin::PluginInstanceData*>(instance.npp()->pdata);
    }

    nphost::PluginModule module{nphost::PluginExports{NP_GetEntryPoints, NP_Initialize, NP_Shutdown}};
    nphost::Browser browser{module};

private:
    const NPNetscapeFuncs hostTable_ = browser.browserFuncs();
};
