// The built plug-in DLLs as a browser finds and loads them: by path, through
// their exports, and by their version resource.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "browser.h"

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

}  // namespace
