#include "install_fixture.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "opftool/compound_file_writer.h"
#include "plugin/control_window.h"
#include "plugin/plugin_app.h"
#include "plugin/plugin_instance.h"
#include "plugin/plugin_window.h"
#include "registry_test_support.h"

using namespace plugin;  // the plug-in's own classes under test

namespace test {

namespace {

void RemoveTree(const std::string& directory) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((directory + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = directory + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + "\\");
            } else {
                ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(path.c_str());
            }
        } while (::FindNextFileA(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryA(directory.c_str());
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void InstallTest::SetUp() {
    HostTest::SetUp();
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    // Placed controls stay loaded until their test process ends, so earlier
    // runs (whose process ids the platform reuses) may have left directories
    // behind: take the next name that is free.
    static int counter = 0;
    bool created = false;
    for (int attempt = 0; attempt < 1000 && !created; ++attempt) {
        scratch_ = std::string(temp) + "inst" + std::to_string(::GetCurrentProcessId() % 10000) +
                   "-" + std::to_string(++counter) + "\\";
        created = ::CreateDirectoryA(scratch_.c_str(), nullptr) != FALSE;
        if (!created && ::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    ASSERT_TRUE(created) << scratch_;
    storage_ = scratch_ + "ocx";
    ASSERT_TRUE(::CreateDirectoryA(storage_.c_str(), nullptr));
    savedStorage_ = ThePluginApp().ocxStorageDirectory;
    ThePluginApp().ocxStorageDirectory = storage_;
}

void InstallTest::TearDown() {
    responder.reset();
    ThePluginApp().ocxStorageDirectory = savedStorage_;
    RemoveTree(scratch_);
}

nphost::Instance& InstallTest::OpenPage(const Headers& headers, std::optional<CLSID> clsid) {
    nphost::Instance& instance = NewPage();
    ShowPage(instance, headers, clsid);
    return instance;
}

nphost::Instance& InstallTest::NewPage() {
    nphost::Instance& instance = browser.NewInstance();
    EXPECT_EQ(NPERR_NO_ERROR, instance.New({}));
    EXPECT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    return instance;
}

void InstallTest::ShowPage(nphost::Instance& instance, const Headers& headers,
                           std::optional<CLSID> clsid) {
    opftool::PropertyFileContent content;
    content.clsid = clsid.value_or(NewClassId());
    content.headers = headers;
    const std::string path = scratch_ + "page" + std::to_string(++pages_) + ".opf";
    EXPECT_EQ(S_OK, opftool::WriteCompoundFile(path, opftool::BuildPropertyFile(content)));
    instance.Deliver(kPageUrl, path);
}

ControlWindow* InstallTest::WindowOf(nphost::Instance& instance) {
    if (!instance.alive()) return nullptr;
    PluginInstanceData* record = Record(instance);
    if (!record || !record->window) return nullptr;
    return record->window->GetControlWindow();
}

std::string InstallTest::WriteScratchFile(const std::string& name, const std::string& bytes) {
    const std::string path = scratch_ + name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::vector<std::string> InstallTest::StoredFiles() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((storage_ + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace test
