// The main of every test program: an OLE apartment for the thread, the
// plug-in module's start-up (as the DLL's load runs it), then the tests.
#include <gtest/gtest.h>
#include <ole2.h>

#include "plugin/plugin_module.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (FAILED(::OleInitialize(nullptr))) return 2;
    if (!plugin::PluginModuleStartup(::GetModuleHandleW(nullptr))) return 3;
    const int result = RUN_ALL_TESTS();
    plugin::PluginModuleShutdown();
    ::OleUninitialize();
    return result;
}
