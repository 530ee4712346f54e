#include "install_fixture.h"

#include <algorithm>
#include <fstream>

#include "install/placement_record.h"
#include "opftool/compound_file_writer.h"
#include "propfile/ansi_text.h"
#include "plugin/control_window.h"
#include "plugin/plugin_app.h"
#include "plugin/plugin_instance.h"
#include "plugin/plugin_window.h"
#include "registry_test_support.h"

using namespace plugin;  // the plug-in's own classes under test

namespace test {

namespace {

void RemoveTree(const std::wstring& directory) {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((directory + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = directory + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + L"\\");
            } else {
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(directory.c_str());
}

// The placement record's entries for files under `directory`.
void ForgetPlacementsUnder(const std::wstring& directory) {
    fw::UniqueHKey record;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, install::kPlacementRecordKey, 0, KEY_READ, record.put()) !=
        ERROR_SUCCESS) {
        return;
    }
    std::vector<std::wstring> paths;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD chars = 256;
        if (::RegEnumKeyExW(record.get(), i, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        wchar_t path[1024] = {};
        DWORD bytes = sizeof path - sizeof(wchar_t);
        if (::RegGetValueW(record.get(), name, L"Path", RRF_RT_REG_SZ, nullptr, path, &bytes) ==
                ERROR_SUCCESS &&
            std::wstring(path).starts_with(directory)) {
            paths.push_back(path);
        }
    }
    for (const std::wstring& path : paths) install::ForgetPlacedFile(path);
}

}  // namespace

std::string ReadWholeFile(const std::string& path) { return ReadWholeFile(Wide(path)); }

std::string ReadWholeFile(const std::wstring& path) {
    const fw::UniqueHandle file = fw::AdoptFileHandle(::CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got != 0) {
        bytes.append(buffer, got);
    }
    return bytes;
}

std::wstring Wide(const std::string& text) { return propfile::WidenAnsi(text); }

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
    perUser_ = scratch_ + "user\\Trevalon\\Controls";
    savedStorage_ = {ThePluginApp().ocxStorageDirectory, ThePluginApp().perUserStorageDirectory};
    ThePluginApp().ocxStorageDirectory = Wide(storage_);
    ThePluginApp().perUserStorageDirectory = Wide(perUser_);
}

void InstallTest::TearDown() {
    responder.reset();
    ThePluginApp().ocxStorageDirectory = savedStorage_.configured;
    ThePluginApp().perUserStorageDirectory = savedStorage_.perUser;
    ForgetPlacementsUnder(Wide(scratch_));
    RemoveTree(Wide(scratch_));
}

install::StorageDirectories InstallTest::Storage() const {
    return {ThePluginApp().ocxStorageDirectory, ThePluginApp().perUserStorageDirectory};
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
    content.contents = pageContents;
    lastPage = scratch_ + "page" + std::to_string(++pages_) + ".opf";
    EXPECT_EQ(S_OK, opftool::WriteCompoundFile(lastPage, opftool::BuildPropertyFile(content)));
    instance.Deliver(kPageUrl, lastPage);
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

std::vector<std::string> InstallTest::StoredFiles() const { return FilesIn(Wide(storage_)); }

// Names as UTF-8, so that any name compares.
std::vector<std::string> InstallTest::FilesIn(const std::wstring& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((directory + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        char utf8[MAX_PATH * 3] = {};
        ::WideCharToMultiByte(CP_UTF8, 0, name.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
        names.push_back(utf8);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace test
