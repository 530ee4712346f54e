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

    static PluginInstanceData* Record(nphost::Instance& instance) {
        return static_cast<PluginInstanceData*>(instance.npp()->pdata);
    }

    nphost::PluginModule module{nphost::PluginExports{NP_GetEntryPoints, NP_Initialize, NP_Shutdown}};
    nphost::Browser browser{module};
};
