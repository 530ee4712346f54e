// A browser from the test host around the plug-in code linked into the test
// program, so tests can drive it as a browser does and look inside.
#pragma once

#include <gtest/gtest.h>

#include "browser.h"
#include "plugin/npapi.h"
#include "plugin/plugin_instance.h"

extern "C" NPError WINAPI NP_GetEntryPoints(NPPluginFuncs* pluginFuncs);
extern "C" NPError WINAPI NP_Initialize(NPNetscapeFuncs* browserFuncs);
extern "C" NPError WINAPI NP_Shutdown();

class HostTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(NPERR_NO_ERROR, browser.Initialize()); }

    static PluginInstanceData* Record(nphost::Instance& instance) {
        return static_cast<PluginInstanceData*>(instance.npp()->pdata);
    }

    nphost::PluginModule module{nphost::PluginExports{NP_GetEntryPoints, NP_Initialize, NP_Shutdown}};
    nphost::Browser browser{module};
};
