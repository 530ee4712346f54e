// Finding the plug-in by the MIME type in the version resources of a
// directory's DLLs.
#include <gtest/gtest.h>

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
