// The built plug-in DLLs as a browser finds and loads them: by path, through
// their exports, and by their version resource.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <ole2.h>

#include "browser.h"
#include "npruntime_host.h"
#include "opftool/compound_file_writer.h"
#include "opftool/property_file_builder.h"
#include "test_control_support.h"

namespace {

std::wstring Widen(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

// The value of `key` in the "040904e4" string table, or "(missing)".
std::string VersionString(const std::vector<char>& block, const std::string& key) {
    const std::string query = "\\StringFileInfo\\040904e4\\" + key;
    char* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) {
        return "(missing)";
    }
    return value ? std::string(value) : std::string();
}

void ExpectVersionResource(const char* path) {
    SCOPED_TRACE(path);
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path, &handle);
    ASSERT_NE(0u, size);
    std::vector<char> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path, 0, size, block.data()));

    const struct {
        const char* key;
        const char* value;
    } strings[] = {
        {"MIMEType", "application/x-object-property-file"},
        {"FileExtents", "opf"},
        {"FileOpenName", "Object Property File (*.opf)"},
        {"FileDescription", "Trevalon OLE Control Plug-In DLL"},
        {"ProductName", "Trevalon OLE Control Plug-In Dynamic Link Library"},
        {"FileVersion", "1, 0, 0, 2"},
        {"ProductVersion", "1, 0, 0, 2"},
        {"InternalName", "NPTRV"},
        {"OriginalFilename", "NPTRV32.DLL"},
        {"CompanyName", ""},
    };
    for (const auto& s : strings) EXPECT_EQ(s.value, VersionString(block, s.key)) << s.key;

    DWORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x04E40409u, *translation);

    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000002u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000002u, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);
}

// The download warning's dialog template 133 and its icon 140: one 32 x 32
// image in 16 colours.
void ExpectWarningResources(const char* path) {
    SCOPED_TRACE(path);
    HMODULE module = ::LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    EXPECT_NE(nullptr, ::FindResourceA(module, MAKEINTRESOURCEA(133), MAKEINTRESOURCEA(5)));
    HRSRC group = ::FindResourceA(module, MAKEINTRESOURCEA(140), MAKEINTRESOURCEA(14));
    ASSERT_NE(nullptr, group);
    const auto* directory = static_cast<const BYTE*>(::LockResource(::LoadResource(module, group)));
    ASSERT_NE(nullptr, directory);
    ASSERT_GE(::SizeofResource(module, group), 6u + 14u);
    EXPECT_EQ(1, directory[4] | directory[5] << 8);  // one image
    const BYTE* entry = directory + 6;
    EXPECT_EQ(32, entry[0]);
    EXPECT_EQ(32, entry[1]);
    EXPECT_EQ(16, entry[2]);
    ::FreeLibrary(module);
}

TEST(PluginDll, BothDllsCarryTheDownloadWarning) {
    ExpectWarningResources(NPTRV_SHIPPED_DLL);
    ExpectWarningResources(NPTRV_BENCH_DLL);
}

TEST(PluginDll, ShippedDllCarriesTheVersionResource) { ExpectVersionResource(NPTRV_SHIPPED_DLL); }

TEST(PluginDll, TestBenchDllCarriesTheVersionResource) { ExpectVersionResource(NPTRV_BENCH_DLL); }

TEST(PluginDll, LoadsByPathAndAnswersAsABrowserExpects) {
    nphost::PluginModule module(Widen(NPTRV_BENCH_DLL));
    ASSERT_TRUE(module.valid());
    nphost::Browser browser(module);
    ASSERT_EQ(NPERR_NO_ERROR, browser.Initialize());
    EXPECT_EQ(0x0006, browser.pluginFuncs().version);
    EXPECT_EQ(nullptr, browser.pluginFuncs().event);

    nphost::Instance& instance = browser.NewInstance(400, 300);
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({{"Width", "120"}, {"HEIGHT", "80"}}));
    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    RECT area = {};
    ::GetWindowRect(instance.window(), &area);
    EXPECT_EQ(120, area.right - area.left);
    EXPECT_EQ(80, area.bottom - area.top);
    EXPECT_NE(nphost::Instance::BrowserWindowProcedure(),
              reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(instance.window(), GWLP_WNDPROC)));

    EXPECT_EQ(NPERR_NO_ERROR, instance.Destroy());
    EXPECT_EQ(nphost::Instance::BrowserWindowProcedure(),
              reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(instance.window(), GWLP_WNDPROC)));
    EXPECT_EQ(0, browser.liveAllocations());
    EXPECT_EQ(NPERR_NO_ERROR, browser.Shutdown());
}

// A script keeps the running control's scriptable object after its
// instance, NP_Shutdown and the browser's FreeLibrary: the library stays
// loaded, the object answers errors, and its last release runs its own code.
// (Runs last: the library stays in this process from here on.)
TEST(PluginDll, AnObjectKeptPastShutdownKeepsTheLibraryLoaded) {
    ASSERT_EQ(S_OK, ::OleInitialize(nullptr));
    const auto& control = test_controls::Info(test_controls::Variant::safe_for_scripting);
    test_controls::ScopedControlRegistration registration(control.dllPath);
    ASSERT_EQ(S_OK, registration.result());
    opftool::PropertyFileContent content;
    content.clsid = control.clsid;
    content.headers = {{"Product Version", control.productVersion}};
    char directory[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, directory);
    const std::string path = std::string(directory) + "kept-object.opf";
    ASSERT_EQ(S_OK, opftool::WriteCompoundFile(path, opftool::BuildPropertyFile(content)));

    const std::wstring dll = Widen(NPTRV_BENCH_DLL);
    NPObject* kept = nullptr;
    {
        nphost::PluginModule module(dll);
        ASSERT_TRUE(module.valid());
        nphost::Browser browser(module);
        ASSERT_EQ(NPERR_NO_ERROR, browser.Initialize());
        nphost::Instance& instance = browser.NewInstance(200, 100);
        ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
        ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
        instance.Deliver("http://host/page/kept.opf", path);
        const auto getValue = reinterpret_cast<NPP_GetValueProcPtr>(browser.pluginFuncs().getvalue);
        ASSERT_EQ(NPERR_NO_ERROR, getValue(instance.npp(), NPPVpluginScriptableNPObject, &kept));
        ASSERT_NE(nullptr, kept);
        EXPECT_EQ(NPERR_NO_ERROR, instance.Destroy());
        EXPECT_EQ(NPERR_NO_ERROR, browser.Shutdown());
    }
    ::DeleteFileA(path.c_str());
    EXPECT_NE(nullptr, ::GetModuleHandleW(dll.c_str())) << "the library stays loaded";
    const NPIdentifier caption = nphost::StringIdentifier("Caption");
    NPVariant result;
    VOID_TO_NPVARIANT(result);
    EXPECT_FALSE(kept->_class->hasProperty(kept, caption));
    EXPECT_FALSE(kept->_class->getProperty(kept, caption, &result));
    nphost::ReleaseObject(kept);
    EXPECT_EQ(0, nphost::LiveObjects());
    ::OleUninitialize();
}

}  // namespace
