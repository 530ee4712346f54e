// A page in the test host whose control is not installed, a scratch
// directory that stands in for the control storage directory, and the
// warning answered by a WarningDialogResponder.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host_fixture.h"
#include "install/control_placement.h"
#include "opftool/property_file_builder.h"
#include "warning_dialog_responder.h"

namespace plugin {
class ControlWindow;
}

namespace test {

using Headers = std::vector<std::pair<std::string, std::string>>;

// The property file's URL: relative control URLs resolve against its folder.
inline constexpr char kPageUrl[] = "http://host/pages/clock.opf";
inline constexpr char kPageFolder[] = "http://host/pages/";

class InstallTest : public HostTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A live instance of the page with a property file naming `clsid` (a
    // fresh, unregistered class unless given) and `headers`, delivered:
    // activation offers the download of a missing control.
    nphost::Instance& OpenPage(const Headers& headers, std::optional<CLSID> clsid = std::nullopt);
    // The same in two steps: a live instance with its window, then the page.
    nphost::Instance& NewPage();
    void ShowPage(nphost::Instance& instance, const Headers& headers,
                  std::optional<CLSID> clsid = std::nullopt);
    // The instance's ControlWindow, or null once it is torn down.
    plugin::ControlWindow* WindowOf(nphost::Instance& instance);

    // A file in the scratch directory with `bytes`; its path.
    std::string WriteScratchFile(const std::string& name, const std::string& bytes);
    // The names now in the storage directory (or `directory`), sorted.
    std::vector<std::string> StoredFiles() const;
    static std::vector<std::string> FilesIn(const std::wstring& directory);
    // The storage directories as the plug-in hands them to its installer.
    install::StorageDirectories Storage() const;

    // The saved state ("Contents") of the property files ShowPage writes.
    std::string pageContents;
    // The path of the property file ShowPage wrote last.
    std::string lastPage;

    std::string scratch_;  // ends with a backslash
    std::string storage_;  // the storage directory, without a trailing backslash
    std::string perUser_;  // the per-user storage directory, made by the first per-user placement
    std::unique_ptr<WarningDialogResponder> responder;

private:
    install::StorageDirectories savedStorage_;
    int pages_ = 0;
};

std::string ReadWholeFile(const std::string& path);
std::string ReadWholeFile(const std::wstring& path);
std::wstring Wide(const std::string& text);

}  // namespace test
