// Finding the plug-in by the MIME type in the version resources of the DLLs
// registered under the MozillaPlugins keys and of a directory's DLLs.
#include <gtest/gtest.h>

#include <cstring>

#include <windows.h>

#include "plugin_finder.h"

namespace {

std::string SystemDll(const char* name) {
    char directory[MAX_PATH] = {};
    ::GetSystemDirectoryA(directory, MAX_PATH);
    return std::string(directory) + "\\" + name;
}

std::string DirectoryOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

// A directory of its own under the temporary directory, removed with its files.
class ScratchDirectory {
public:
    ScratchDirectory() {
        char base[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, base);
        path_ = std::string(base) + "nphost-finder-" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchDirectory() {
        for (const std::string& file : files_) ::DeleteFileA(file.c_str());
        ::RemoveDirectoryA(path_.c_str());
    }
    const std::string& path() const { return path_; }
    void CopyIn(const std::string& source, const std::string& name) {
        files_.push_back(path_ + "\\" + name);
        ASSERT_TRUE(::CopyFileA(source.c_str(), files_.back().c_str(), FALSE)) << source;
    }

private:
    std::string path_;
    std::vector<std::string> files_;
};

TEST(PluginFinderTest, ThePlugInAnnouncesItsMimeType) {
    EXPECT_EQ(std::vector<std::string>{nphost::kPropertyFileMimeType}, nphost::MimeTypesOf(NPTRV_DLL));
    // A DLL with a version resource but no MIMEType, and a file without one.
    EXPECT_TRUE(nphost::MimeTypesOf(SystemDll("kernel32.dll")).empty());
    EXPECT_TRUE(nphost::MimeTypesOf(SystemDll("does-not-exist.dll")).empty());
}

TEST(PluginFinderTest, FindsThePlugInAmongOtherDlls) {
    ScratchDirectory directory;
    directory.CopyIn(SystemDll("kernel32.dll"), "a-kernel.dll");
    EXPECT_EQ(std::nullopt, nphost::FindPluginIn(directory.path(), nphost::kPropertyFileMimeType));
    directory.CopyIn(NPTRV_DLL, "npplugin.dll");
    EXPECT_EQ(directory.path() + "\\npplugin.dll",
              nphost::FindPluginIn(directory.path(), "Application/X-Object-Property-File"));
    EXPECT_EQ(std::nullopt, nphost::FindPluginIn(directory.path(), "application/x-other"));
    EXPECT_EQ(std::nullopt,
              nphost::FindPluginIn(directory.path() + "\\missing", nphost::kPropertyFileMimeType));
}

// A registry key of its own under HKEY_CURRENT_USER, removed with its subkeys.
class ScratchKey {
public:
    explicit ScratchKey(std::string path) : path_(std::move(path)) {
        ::RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                          nullptr);
    }
    ~ScratchKey() {
        if (key_) ::RegCloseKey(key_);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    }
    HKEY get() const { return key_; }
    void Register(const std::string& subkey, const char* dllPath) {
        HKEY entry = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(key_, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                   nullptr, &entry, nullptr));
        if (dllPath) {
            ::RegSetValueExA(entry, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(dllPath),
                             static_cast<DWORD>(std::strlen(dllPath) + 1));
        }
        ::RegCloseKey(entry);
    }

private:
    std::string path_;
    HKEY key_ = nullptr;
};

TEST(PluginFinderTest, FindsTheRegisteredPlugInBeforeTheDirectories) {
    const std::string kernel = SystemDll("kernel32.dll");
    const std::string suffix = std::to_string(::GetCurrentProcessId());
    {
        // Entries without a path, naming a missing file, a DLL of other types
        // or the plug-in built for another machine are passed over.
        ScratchKey plugins("Software\\nphost-finder-" + suffix);
        plugins.Register("a-no-path", nullptr);
        plugins.Register("b-other-dll", kernel.c_str());
        plugins.Register("c-missing", "C:\\missing\\npmissing.dll");
#if defined(_WIN64)
        plugins.Register("c-other-machine", NPTRV_SHIPPED_DLL);  // the 32-bit build
#endif
        EXPECT_FALSE(nphost::FindPluginUnder(plugins.get(), nphost::kPropertyFileMimeType));
        plugins.Register("d-plugin", NPTRV_DLL);
        const auto found = nphost::FindPluginUnder(plugins.get(), nphost::kPropertyFileMimeType);
        ASSERT_TRUE(found);
        EXPECT_EQ(NPTRV_DLL, found->path);
        EXPECT_EQ("d-plugin", found->where);
        EXPECT_FALSE(nphost::FindPluginUnder(plugins.get(), "application/x-other"));
    }
    // The user's MozillaPlugins key comes before a directory that also holds
    // the plug-in.
    ScratchDirectory directory;
    directory.CopyIn(NPTRV_DLL, "npplugin.dll");
    auto found = nphost::FindPlugin(nphost::kPropertyFileMimeType, {directory.path()});
    ASSERT_TRUE(found);
    EXPECT_EQ(directory.path() + "\\npplugin.dll", found->path);
    const std::string id = "nphost-finder-" + suffix;
    ScratchKey registered(std::string(nphost::kMozillaPluginsKey) + "\\" + id);
    registered.Register("", NPTRV_DLL);
    found = nphost::FindPlugin(nphost::kPropertyFileMimeType, {directory.path()});
    ASSERT_TRUE(found);
    EXPECT_EQ(NPTRV_DLL, found->path);
    EXPECT_EQ(std::string("HKEY_CURRENT_USER\\") + nphost::kMozillaPluginsKey + "\\" + id, found->where);
}

TEST(PluginFinderTest, SearchesBesideThePageThenBesideTheProgram) {
    char program[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, program, MAX_PATH);
    const auto directories = nphost::PluginDirectories(std::string("C:\\pages\\page.html"));
    ASSERT_EQ(2u, directories.size());
    EXPECT_EQ("C:\\pages\\plugins", directories[0]);
    EXPECT_EQ(DirectoryOf(program), directories[1]);
    EXPECT_EQ(1u, nphost::PluginDirectories(std::nullopt).size());
}

}  // namespace
