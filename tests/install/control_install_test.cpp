// The control file after Yes: expanded into the storage directory under the
// URL's name, registered, or refused without leaving anything behind.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "install/control_installer.h"
#include "install/control_placement.h"
#include "install/control_registry_entry.h"
#include "install_fixture.h"
#include "opftool/szdd_writer.h"
#include "plugin/plugin_app.h"
#include "url/url_parts.h"
#include "registry_test_support.h"

using namespace plugin;  // the plug-in's own classes under test

namespace test {
namespace {

using Strings = std::vector<std::string>;

const std::string kControlBytes = "MZ not really a library, but bytes to expand " +
                                  std::string(3000, 'x') + " and a tail\r\n\x01\x02";

std::string Compressed(const std::string& bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::vector<std::uint8_t> packed = opftool::CompressSzdd({data, bytes.size()}, 'x');
    return {packed.begin(), packed.end()};
}

Headers Page(const std::string& filenameUrl, const char* isCompressed = "TRUE") {
    Headers headers = {{"Product Name", "Clock"}, {"Filename Url", filenameUrl}};
    if (isCompressed) headers.emplace_back("IsCompressed", isCompressed);
    return headers;
}

// The installer's browser: it only notes what it was asked for.
class RecordedRequests : public install::UrlRequester {
public:
    std::uintptr_t NewRequestToken() override { return 0; }
    void RequestUrl(const std::string& absoluteUrl, std::uintptr_t) override {
        urls.push_back(absoluteUrl);
    }
    void ShowStatus(const std::string& message) override { statusLines.push_back(message); }
    Strings urls;
    Strings statusLines;
};

install::ControlOffer CompressedOffer(const std::string& filenameUrl) {
    install::ControlOffer offer;
    offer.filenameUrl = filenameUrl;
    offer.baseUrl = "http://host/pages/";
    offer.isCompressed = true;
    return offer;
}

class ControlInstall : public InstallTest {
protected:
    // The page offers the control at `filenameUrl`; the user says Yes and
    // the browser delivers `localFile` under the URL it was asked for.
    nphost::Instance& InstallFrom(const Headers& headers, const std::string& fetchedUrl,
                                  const std::string& localFile,
                                  std::optional<CLSID> clsid = std::nullopt) {
        browser.Serve(fetchedUrl, localFile);
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
        nphost::Instance& page = OpenPage(headers, clsid);
        EXPECT_EQ(1, browser.RunPending());
        return page;
    }
};

TEST_F(ControlInstall, PlacesTheExpandedFileUnderTheStemOfTheUrlsName) {
    // Longer than the platform's file-open structure holds: only the
    // temporary name passes through it.
    const std::string longStem(150 - storage_.size(), 'p');
    const struct {
        std::string filenameUrl;
        std::string delivered;  // what the browser hands over
        std::string placed;
    } cases[] = {
        {"clock.oc_", Compressed(kControlBytes), "clock.ocx"},
        {"bin/clock.ocx.z", Compressed(kControlBytes), "clock.ocx.ocx"},
        {"http://other/clock.ocx", kControlBytes, "clock.ocx"},  // not LZ: copied as it is
        {longStem + ".oc_", Compressed(kControlBytes), longStem + ".ocx"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filenameUrl);
        const std::string url = urls::ResolveUrl(kPageFolder, c.filenameUrl);
        InstallFrom(Page(c.filenameUrl), url, WriteScratchFile("delivered", c.delivered));
        EXPECT_EQ(Strings{c.placed}, StoredFiles());
        EXPECT_EQ(kControlBytes, ReadWholeFile(storage_ + "\\" + c.placed));
        ::DeleteFileA((storage_ + "\\" + c.placed).c_str());
    }
}

// The placed file registers itself. A file already at the target is replaced
// only when it is the registered server of the page's class (an upgrade), and
// only when it is not in use; any other file stays as it was and nothing is
// registered. No temporary file is left behind either way.
TEST_F(ControlInstall, AnExistingFileAtTheTargetIsReplacedOnlyByAnUpgrade) {
    enum class Existing { none, foreign, otherClassServer, ownServer, ownServerLoaded };
    const struct {
        const char* name;
        Existing existing;
        bool replaced;
    } cases[] = {
        {"no file there", Existing::none, true},
        {"a file of somebody else", Existing::foreign, false},
        {"another control's server", Existing::otherClassServer, false},
        {"the class's own server: an upgrade", Existing::ownServer, true},
        {"the class's own server, loaded", Existing::ownServerLoaded, false},
    };
    const std::string server = ReadWholeFile(FixturePath("fixture_register_ok.dll"));
    const std::string old = ReadWholeFile(FixturePath("fixture_v1002.dll"));
    ASSERT_FALSE(server.empty());
    ASSERT_FALSE(old.empty());
    const std::string placed = storage_ + "\\clock.ocx";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CLSID clsid = NewClassId();
        const std::string text = ClassIdText(clsid);
        const ScopedClassesKey guard("CLSID\\" + text);  // whatever the control writes
        ASSERT_TRUE(::SetEnvironmentVariableA("FIXTURE_CLSID", text.c_str()));
        const CLSID other = NewClassId();
        std::optional<ScopedClassesKey> ownGuard, otherGuard;
        fw::UniqueModule loaded;
        if (c.existing != Existing::none) WriteScratchFile("ocx\\clock.ocx", old);
        if (c.existing == Existing::otherClassServer) {
            otherGuard.emplace(RegisterClassKey(ClassIdText(other), {.server = placed}));
        }
        if (c.existing == Existing::ownServer || c.existing == Existing::ownServerLoaded) {
            ownGuard.emplace(RegisterClassKey(text, {.server = placed}));
        }
        if (c.existing == Existing::ownServerLoaded) {
            loaded.reset(::LoadLibraryA(placed.c_str()));
            ASSERT_TRUE(loaded);
        }

        // A version that no file has: an earlier server is offered an upgrade.
        Headers headers = Page("clock.oc_");
        headers.emplace_back("Product Version", "9, 9, 9, 9");
        browser.Serve("http://host/pages/clock.oc_",
                      WriteScratchFile("clock.oc_", Compressed(server)));
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
        responder->laterAnswer = UserAnswer::No;
        OpenPage(headers, clsid);
        EXPECT_EQ(1, browser.RunPending());

        EXPECT_EQ(Strings{"clock.ocx"}, StoredFiles());
        EXPECT_TRUE(ReadWholeFile(placed) == (c.replaced ? server : old));
        install::ControlRegistryEntry lookup;
        const bool registered = lookup.IsInstalled(clsid, "");
        EXPECT_EQ(c.replaced || c.existing == Existing::ownServerLoaded, registered);
        if (registered) {
            EXPECT_EQ(placed, lookup.serverPath);
        }
        if (otherGuard) {
            install::ControlRegistryEntry otherLookup;
            EXPECT_TRUE(otherLookup.IsInstalled(other, ""));
            EXPECT_EQ(placed, otherLookup.serverPath);
        }
        loaded.reset();
        ::DeleteFileA(placed.c_str());
    }
}

TEST_F(ControlInstall, NothingIsPlacedUnlessThePageSaysCompressed) {
    for (const char* isCompressed : {static_cast<const char*>(nullptr), "FALSE", "YES"}) {
        SCOPED_TRACE(isCompressed ? isCompressed : "(no IsCompressed)");
        InstallFrom(Page("clock.ocx", isCompressed), "http://host/pages/clock.ocx",
                    WriteScratchFile("clock.ocx", kControlBytes));
        EXPECT_EQ(Strings{}, StoredFiles());
    }
}

TEST_F(ControlInstall, AControlFileThatNoOfferAskedForIsIgnored) {
    const std::string file = WriteScratchFile("clock.oc_", Compressed(kControlBytes));

    nphost::Instance& empty = NewPage();  // no property file, no record
    empty.Deliver("http://host/pages/clock.oc_", file);

    responder = std::make_unique<WarningDialogResponder>(UserAnswer::No);
    nphost::Instance& refused = OpenPage(Page("clock.oc_"));
    refused.Deliver("http://host/pages/clock.oc_", file);
    EXPECT_EQ(Strings{}, StoredFiles());

    // One Yes admits one file: a second delivery is not placed.
    nphost::Instance& accepted =
        InstallFrom(Page("clock.oc_"), "http://host/pages/clock.oc_", file);
    EXPECT_EQ(Strings{"clock.ocx"}, StoredFiles());
    accepted.Deliver("http://host/pages/other.oc_", file);
    EXPECT_EQ(Strings{"clock.ocx"}, StoredFiles());
}

// The control file comes only from the answer to the request made after Yes:
// a redirected answer where the browser binds answers to their requests, only
// the very URL asked for where it does not, and nothing once the browser said
// the fetch failed. It is placed under the name of the URL asked for.
TEST_F(ControlInstall, OnlyTheAnswerToTheRequestAfterYesIsPlaced) {
    const std::string file = WriteScratchFile("clock.oc_", Compressed(kControlBytes));
    enum class Fetch { redirected, failed };
    const struct {
        Fetch fetch;
        const char* unasked;  // delivered afterwards without being asked for
        UrlNotify browser;
        bool placed;
    } cases[] = {
        {Fetch::redirected, nullptr, UrlNotify::offered, true},
        {Fetch::redirected, nullptr, UrlNotify::version8, false},
        {Fetch::redirected, nullptr, UrlNotify::tableWithoutIt, false},
        {Fetch::failed, "http://host/pages/other.ocx", UrlNotify::offered, false},
        {Fetch::failed, "http://host/pages/other.ocx", UrlNotify::version8, false},
        {Fetch::failed, "", UrlNotify::offered, false},  // "": the URL asked for
        // Without notification a failure is never known: the URL asked for
        // still answers.
        {Fetch::failed, "", UrlNotify::version8, true},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << row << ", " << Name(c.browser));
        UseBrowser(c.browser);
        const std::string filenameUrl = "r" + std::to_string(++row) + "/clock.oc_";
        const std::string asked = std::string(kPageFolder) + filenameUrl;
        if (c.fetch == Fetch::redirected) {
            browser.ServeAs(asked, "http://mirror.host/v2/clock.oc_", file);
        }
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
        nphost::Instance& page = OpenPage(Page(filenameUrl));
        browser.RunPending();
        ASSERT_EQ(asked, browser.requestedUrls().back());
        if (c.unasked) page.Deliver(*c.unasked ? c.unasked : asked, file);
        EXPECT_EQ(c.placed ? Strings{"clock.ocx"} : Strings{}, StoredFiles());
        ::DeleteFileA((storage_ + "\\clock.ocx").c_str());
        ASSERT_EQ(NPERR_NO_ERROR, page.Destroy());
    }
}

// The token of the newest NPN_GetURLNotify request, from the browser's log.
void* LastNotifyData(const nphost::Browser& browser) {
    for (auto line = browser.log().rbegin(); line != browser.log().rend(); ++line) {
        const std::size_t at = line->find(" notify ");
        if (line->starts_with("<- NPN_GetURLNotify ") && at != std::string::npos) {
            const std::uintptr_t token = std::stoull(line->substr(at + 8));
            return reinterpret_cast<void*>(token);
        }
    }
    return nullptr;
}

// An answer or a notice that comes late, for a window that has gone (and been
// replaced by one that awaits nothing) or for a destroyed instance, finds no
// open request and changes nothing.
TEST_F(ControlInstall, LateAnswersForAGoneWindowOrInstanceChangeNothing) {
    const std::string asked = "http://host/pages/clock.oc_";
    const std::string file = WriteScratchFile("clock.oc_", Compressed(kControlBytes));
    browser.Serve(asked, file);
    for (const bool destroyed : {false, true}) {
        SCOPED_TRACE(destroyed ? "instance destroyed" : "window replaced");
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
        responder->laterAnswer = UserAnswer::No;
        nphost::Instance& page = OpenPage(Page("clock.oc_"));
        void* const token = LastNotifyData(browser);
        ASSERT_NE(nullptr, token);
        if (destroyed) {
            ASSERT_EQ(NPERR_NO_ERROR, page.Destroy());
            page.Deliver(asked, file, token);
            page.Notify(asked, NPRES_NETWORK_ERR, token);
        } else {
            ASSERT_EQ(NPERR_NO_ERROR, page.SetWindow(nullptr));
            ASSERT_EQ(NPERR_NO_ERROR, page.SetWindow());
            ShowPage(page, Page("clock.oc_"));  // offered again, and refused
            EXPECT_EQ(2, responder->timesShown);
            EXPECT_EQ(1, browser.RunPending());
            ASSERT_EQ(NPERR_NO_ERROR, page.Destroy());
        }
        EXPECT_EQ(Strings{}, StoredFiles());
    }
}

// The placed name comes from the URL: anything but a plain file name of the
// platform is refused before a byte is written.
TEST_F(ControlInstall, AUrlThatGivesNoPlainFileNamePlacesNothing) {
    const std::string file = WriteScratchFile("delivered", Compressed(kControlBytes));
    responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
    RecordedRequests browser;
    for (const std::string& url : Strings{
             "http://host/pages/", "http://host/pages/.oc_", "http://host/CON.oc_",
          "http://host/nul.ocx", "http://host/Com1.z", "http://host/lpt9.oc_",
          "http://host/aux .oc_", "http://host/get?f=clock.oc_", "http://host/a:b.oc_",
          "http://host/a|b.oc_", "http://host/a\"b.oc_", "http://host/a*b.oc_",
          "http://host/a<b>.oc_", "http://host/tab\there.oc_",
          "http://host/" + std::string(260, 'n') + ".oc_"}) {
        SCOPED_TRACE(url);
        install::ControlInstaller installer(CompressedOffer(url), storage_, browser);
        ASSERT_EQ(install::ControlInstaller::Result::Requested, installer.OfferDownload());
        EXPECT_EQ(install::ControlInstaller::Result::NotPlaced,
                  installer.InstallControlFile(browser.urls.back(), file));
        EXPECT_EQ(Strings{}, StoredFiles());
    }
}

TEST_F(ControlInstall, AFailedExpansionLeavesNoFileBehind) {
    const std::string file = WriteScratchFile("clock.oc_", Compressed(kControlBytes));
    const std::string old = WriteScratchFile("ocx\\old.ocx", "the control placed earlier");
    // A directory where the file should go: the platform cannot create the
    // target and would fall back to the name "busy.oc_".
    ASSERT_TRUE(::CreateDirectoryA((storage_ + "\\busy.ocx").c_str(), nullptr));
    RecordedRequests browser;

    const struct {
        const char* why;
        std::string storage;
        std::string name;
        std::string source;
    } cases[] = {
        {"source missing", storage_, "clock.oc_", scratch_ + "missing.oc_"},
        {"directory missing", scratch_ + "nowhere", "clock.oc_", file},
        {"target not creatable", storage_, "busy.oc_", file},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const install::ControlInstaller installer(CompressedOffer("clock.oc_"), c.storage, browser);
        EXPECT_EQ(std::nullopt, installer.ExpandControlFile(c.name, c.source));
        EXPECT_EQ((Strings{"busy.ocx", "old.ocx"}), StoredFiles());
        EXPECT_EQ("the control placed earlier", ReadWholeFile(old));
    }
}

TEST_F(ControlInstall, PlacedPathJoinsDirectoryAndStem) {
    const std::string at255 = "C:\\d\\" + std::string(255 - 9, 'n');
    const struct {
        std::string directory;
        std::string fileName;
        std::optional<std::string> placed;
    } cases[] = {
        {"C:\\controls", "clock.oc_", "C:\\controls\\clock.ocx"},
        {"C:\\controls\\", "clock.oc_", "C:\\controls\\clock.ocx"},
        {"C:\\controls", "clock.ocx.z", "C:\\controls\\clock.ocx.ocx"},
        {"C:\\controls", "clock", "C:\\controls\\clock.ocx"},
        {"C:\\d", std::string(255 - 9, 'n') + ".oc_", at255 + ".ocx"},
        {"C:\\d", std::string(255 - 8, 'n') + ".oc_", std::nullopt},
        {"", "clock.oc_", std::nullopt},
        {"C:\\controls", "", std::nullopt},
        {"C:\\controls", "CONOUT$.oc_", std::nullopt},
        {"C:\\controls", "console.oc_", "C:\\controls\\console.ocx"},
        {"C:\\controls", "com10.oc_", "C:\\controls\\com10.ocx"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.placed, install::PlacedControlPath(c.directory, c.fileName))
            << c.directory << " + " << c.fileName;
    }
}

// The storage directory is read when the library starts: "Ocx Storage" of
// the profile section "Directories", else the system directory.
TEST_F(ControlInstall, StorageDirectoryComesFromTheProfileElseTheSystemDirectory) {
    constexpr char kKey[] = "Software\\Trevalon\\Trevalon\\Directories";
    fw::UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0,
                                               KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr));
    char saved[1024] = {};
    DWORD savedSize = sizeof saved;
    const bool hadValue = ::RegQueryValueExA(key.get(), "Ocx Storage", nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(saved), &savedSize) ==
                          ERROR_SUCCESS;
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, MAX_PATH);

    const struct {
        std::optional<std::string> value;
        std::string directory;
    } cases[] = {
        {std::nullopt, system},
        {storage_, storage_},
        {storage_ + "\\", storage_ + "\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.value_or("(no value)"));
        if (c.value) {
            ASSERT_EQ(ERROR_SUCCESS,
                      ::RegSetValueExA(key.get(), "Ocx Storage", 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(c.value->c_str()),
                                       static_cast<DWORD>(c.value->size() + 1)));
        } else {
            ::RegDeleteValueA(key.get(), "Ocx Storage");
        }
        ThePluginApp().InitInstance();
        EXPECT_EQ(c.directory, ThePluginApp().ocxStorageDirectory);
    }
    // With a trailing backslash the file still lands in the directory.
    InstallFrom(Page("clock.oc_"), "http://host/pages/clock.oc_",
                WriteScratchFile("clock.oc_", Compressed(kControlBytes)));
    EXPECT_EQ(Strings{"clock.ocx"}, StoredFiles());

    if (hadValue) {
        ::RegSetValueExA(key.get(), "Ocx Storage", 0, REG_SZ, reinterpret_cast<BYTE*>(saved),
                         savedSize);
    } else {
        ::RegDeleteValueA(key.get(), "Ocx Storage");
    }
    ThePluginApp().InitInstance();
}

}  // namespace
}  // namespace test
