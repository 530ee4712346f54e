// The control file after Yes: expanded into the storage directory under the
// URL's name, registered, or refused without leaving anything behind.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "install/control_installer.h"
#include "install/control_placement.h"
#include "framework/class_id_text.h"
#include "install/control_registry_entry.h"
#include "install/placement_record.h"
#include "install_fixture.h"
#include "opftool/szdd_writer.h"
#include "plugin/plugin_app.h"
#include "url/url_parts.h"
#include "registry_test_support.h"

using namespace plugin;  // the plug-in's own classes under test

namespace test {
namespace {

using Strings = std::vector<std::string>;

std::string Narrow(const std::wstring& text) {
    char utf8[1024] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

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
    bool RequestUrl(const std::string& absoluteUrl, std::uintptr_t) override {
        urls.push_back(absoluteUrl);
        return true;
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

    // A fresh class that the self-registering fixture server registers;
    // removed again with the test.
    CLSID RegisteringClass() {
        const CLSID clsid = NewClassId();
        const std::string text = ClassIdText(clsid);
        classGuards_.emplace_back("CLSID\\" + text);
        EXPECT_TRUE(::SetEnvironmentVariableA("FIXTURE_CLSID", text.c_str()));
        return clsid;
    }
    // That server, compressed, in a scratch file.
    std::string CompressedServer() {
        return WriteScratchFile(
            "server.oc_", Compressed(ReadWholeFile(FixturePath("fixture_register_ok.dll"))));
    }

private:
    std::vector<ScopedClassesKey> classGuards_;
};

TEST_F(ControlInstall, PlacesTheExpandedFileUnderTheStemOfTheUrlsName) {
    // Longer than the platform's file-open structure holds.
    const std::string longStem(150 - storage_.size(), 'p');
    const std::string server = ReadWholeFile(FixturePath("fixture_register_ok.dll"));
    ASSERT_FALSE(server.empty());
    const struct {
        std::string filenameUrl;
        std::string delivered;  // what the browser hands over
        std::string placed;
    } cases[] = {
        {"clock.oc_", Compressed(server), "clock.ocx"},
        {"bin/clock.ocx.z", Compressed(server), "clock.ocx.ocx"},
        {"http://other/clock.ocx", server, "clock.ocx"},  // not LZ: copied as it is
        {longStem + ".oc_", Compressed(server), longStem + ".ocx"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filenameUrl);
        const CLSID clsid = NewClassId();
        const std::string text = ClassIdText(clsid);
        const ScopedClassesKey guard("CLSID\\" + text);
        ASSERT_TRUE(::SetEnvironmentVariableA("FIXTURE_CLSID", text.c_str()));
        const std::string url = urls::ResolveUrl(kPageFolder, c.filenameUrl);
        InstallFrom(Page(c.filenameUrl), url, WriteScratchFile("delivered", c.delivered), clsid);
        EXPECT_EQ(Strings{c.placed}, StoredFiles());
        EXPECT_TRUE(server == ReadWholeFile(storage_ + "\\" + c.placed));
        ::DeleteFileA((storage_ + "\\" + c.placed).c_str());
    }
}

// Removes HKEY_CURRENT_USER\Software\Classes\CLSID\<text> when it goes.
struct ScopedUserClassKey {
    std::wstring path;
    ~ScopedUserClassKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()); }
};

// The placed file registers itself. A file already at the target is replaced
// only when the placement record says it is ours, for this class, with its
// bytes unchanged, and it is not in use; any other file stays as it was and
// the control goes under the next free name. A replacement whose
// registration fails, or does not give the page's version, puts the old file
// and the class's registration back. Where the storage directory takes no
// file, the control goes to the per-user directory and registers for this
// user. No temporary file is left behind either way, and every outcome but
// an installation is one status line.
TEST_F(ControlInstall, AnExistingFileIsReplacedOnlyWhenItIsOursAndUnchanged) {
    constexpr const char* kNewServer = "fixture_register_ok.dll";  // "1, 0, 0, 2"
    constexpr const char* kFailingServer = "fixture_register_fail.dll";
    enum class Existing { none, foreign, otherClassServer, classServer, own, ownChanged, ownLoaded };
    constexpr bool installs = true;
    const struct {
        const char* name;
        Existing existing;
        const char* delivered;  // fixture file
        const char* version;    // the page's "Product Version"
        bool installs;
        Strings files;       // in the storage directory afterwards
        const char* server;  // the file the class resolves to afterwards; "": none
        bool perUser = false;  // the storage directory takes no file
    } cases[] = {
        {"no file there", Existing::none, kNewServer, "1, 0, 0, 2", installs, {"clock.ocx"}, "clock.ocx"},
        {"a file of somebody else", Existing::foreign, kNewServer, "1, 0, 0, 2", installs,
         {"clock-2.ocx", "clock.ocx"}, "clock-2.ocx"},
        {"another control's server", Existing::otherClassServer, kNewServer, "1, 0, 0, 2", installs,
         {"clock-2.ocx", "clock.ocx"}, "clock-2.ocx"},
        {"the class's server, placed by another installer", Existing::classServer, kNewServer,
         "1, 0, 0, 2", installs, {"clock-2.ocx", "clock.ocx"}, "clock-2.ocx"},
        {"our own file: an upgrade", Existing::own, kNewServer, "1, 0, 0, 2", installs,
         {"clock.ocx"}, "clock.ocx"},
        {"our own file, changed since", Existing::ownChanged, kNewServer, "1, 0, 0, 2", installs,
         {"clock-2.ocx", "clock.ocx"}, "clock-2.ocx"},
        {"our own file, loaded", Existing::ownLoaded, kNewServer, "1, 0, 0, 2", installs,
         {"clock-2.ocx", "clock.ocx"}, "clock-2.ocx"},
        {"an upgrade whose registration fails", Existing::own, kFailingServer, "1, 0, 0, 2",
         !installs, {"clock.ocx"}, "clock.ocx"},
        {"an upgrade to another version than the page's", Existing::own, kNewServer, "9, 9, 9, 9",
         !installs, {"clock.ocx"}, "clock.ocx"},
        {"a fresh placement whose registration fails", Existing::none, kFailingServer, "1, 0, 0, 2",
         !installs, {}, ""},
        {"storage directory takes no file: per user", Existing::none, kNewServer, "1, 0, 0, 2",
         installs, {}, "clock.ocx", true},
    };
    const std::string old = ReadWholeFile(FixturePath("fixture_v1003.dll"));  // "1, 0, 0, 3"
    ASSERT_FALSE(old.empty());
    const std::string placed = storage_ + "\\clock.ocx";
    const std::wstring configured = ThePluginApp().ocxStorageDirectory;
    const std::string notADirectory = WriteScratchFile("not-a-directory", "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CLSID clsid = NewClassId();
        const std::string text = ClassIdText(clsid);
        const ScopedClassesKey guard("CLSID\\" + text);  // whatever the control writes
        const ScopedUserClassKey userGuard{L"Software\\Classes\\CLSID\\" + Wide(text)};
        ASSERT_TRUE(::SetEnvironmentVariableA("FIXTURE_CLSID", text.c_str()));
        const CLSID other = NewClassId();
        std::optional<ScopedClassesKey> otherGuard, ownGuard;
        fw::UniqueModule loaded;
        const bool own = c.existing == Existing::own || c.existing == Existing::ownChanged ||
                         c.existing == Existing::ownLoaded;
        if (c.existing != Existing::none) WriteScratchFile("ocx\\clock.ocx", old);
        if (c.existing == Existing::otherClassServer) {
            otherGuard.emplace(RegisterClassKey(ClassIdText(other), {.server = placed}));
        }
        if (c.existing == Existing::classServer || own) {
            ownGuard.emplace(RegisterClassKey(text, {.server = placed}));
        }
        if (own) {
            install::PlacedFile record{Wide(placed), fw::ClassIdText(clsid), L"1.0.0.2"};
            record.fingerprint = install::FingerprintOf(Wide(placed)).value();
            ASSERT_TRUE(install::RecordPlacedFile(record));
        }
        const std::string before = c.existing == Existing::ownChanged ? old + "changed" : old;
        if (c.existing == Existing::ownChanged) WriteScratchFile("ocx\\clock.ocx", before);
        if (c.existing == Existing::ownLoaded) {
            loaded.reset(::LoadLibraryA(placed.c_str()));
            ASSERT_TRUE(loaded);
        }
        ThePluginApp().ocxStorageDirectory = c.perUser ? Wide(notADirectory) : configured;

        const std::string delivered = ReadWholeFile(FixturePath(c.delivered));
        Headers headers = Page("clock.oc_");
        headers.emplace_back("Product Version", c.version);
        browser.Serve("http://host/pages/clock.oc_",
                      WriteScratchFile("clock.oc_", Compressed(delivered)));
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
        responder->laterAnswer = UserAnswer::No;
        const std::size_t statusBefore = browser.statusLines().size();
        OpenPage(headers, clsid);
        EXPECT_EQ(1, browser.RunPending());

        EXPECT_EQ(c.files, StoredFiles());
        const bool replaced = c.existing == Existing::own && c.installs;
        if (c.existing != Existing::none) {
            EXPECT_TRUE(ReadWholeFile(placed) == (replaced ? delivered : before));
        }
        const std::string directory = c.perUser ? perUser_ : storage_;
        EXPECT_EQ(c.perUser ? Strings{"clock.ocx"} : Strings{}, FilesIn(Wide(perUser_)));
        EXPECT_EQ(c.perUser, install::HasUserClassKey(clsid));
        install::ControlRegistryEntry lookup;
        lookup.IsInstalled(clsid, "");
        EXPECT_EQ(*c.server ? directory + "\\" + c.server : "", lookup.serverPath);
        // Every outcome is one line; an installation's names the unsigned file.
        EXPECT_EQ(1u, browser.statusLines().size() - statusBefore);
        if (otherGuard) {
            install::ControlRegistryEntry otherLookup;
            EXPECT_TRUE(otherLookup.IsInstalled(other, ""));
            EXPECT_EQ(placed, otherLookup.serverPath);
        }
        loaded.reset();
        for (const std::string& name : Strings{"clock.ocx", "clock-2.ocx"}) {
            ::DeleteFileA((storage_ + "\\" + name).c_str());
            ::DeleteFileA((perUser_ + "\\" + name).c_str());
        }
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
    const std::string file = CompressedServer();

    nphost::Instance& empty = NewPage();  // no property file, no record
    empty.Deliver("http://host/pages/clock.oc_", file);

    responder = std::make_unique<WarningDialogResponder>(UserAnswer::No);
    nphost::Instance& refused = OpenPage(Page("clock.oc_"));
    refused.Deliver("http://host/pages/clock.oc_", file);
    EXPECT_EQ(Strings{}, StoredFiles());

    // One Yes admits one file: a second delivery is not placed.
    nphost::Instance& accepted =
        InstallFrom(Page("clock.oc_"), "http://host/pages/clock.oc_", file, RegisteringClass());
    EXPECT_EQ(Strings{"clock.ocx"}, StoredFiles());
    accepted.Deliver("http://host/pages/other.oc_", file);
    EXPECT_EQ(Strings{"clock.ocx"}, StoredFiles());
}

// The control file comes only from the answer to the request made after Yes:
// a redirected answer where the browser binds answers to their requests, only
// the very URL asked for where it does not, and nothing once the browser said
// the fetch failed. It is placed under the name of the URL asked for.
TEST_F(ControlInstall, OnlyTheAnswerToTheRequestAfterYesIsPlaced) {
    const std::string file = CompressedServer();
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
        nphost::Instance& page = OpenPage(Page(filenameUrl), RegisteringClass());
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
        install::ControlInstaller installer(CompressedOffer(url), Storage(), browser);
        ASSERT_EQ(install::ControlInstaller::Result::Requested, installer.OfferDownload());
        EXPECT_EQ(install::ControlInstaller::Result::NotPlaced,
                  installer.InstallControlFile(browser.urls.back(), file));
        EXPECT_EQ(Strings{}, StoredFiles());
        EXPECT_EQ(Strings{}, FilesIn(Wide(perUser_)));
    }
}

// Whatever step fails, the storage directory is as it was, and the user
// reads one status line.
TEST_F(ControlInstall, AFailedInstallationLeavesNoFileBehind) {
    using Result = install::ControlInstaller::Result;
    const std::string file = WriteScratchFile("clock.oc_", Compressed(kControlBytes));
    const std::string old = WriteScratchFile("ocx\\old.ocx", "the control placed earlier");
    // A directory where the file should go: the control goes under the next
    // name, where its registration fails (it is no library).
    ASSERT_TRUE(::CreateDirectoryA((storage_ + "\\busy.ocx").c_str(), nullptr));
    responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);

    const struct {
        const char* why;
        std::string storage;
        std::string url;
        std::string source;
        Result result;
    } cases[] = {
        {"source missing", storage_, "clock.oc_", scratch_ + "missing.oc_", Result::NotPlaced},
        {"directory missing, none per user", scratch_ + "nowhere", "clock.oc_", file, Result::NotPlaced},
        {"a directory at the target", storage_, "busy.oc_", file, Result::NotRegistered},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        RecordedRequests browser;
        install::ControlInstaller installer(CompressedOffer(c.url), {Wide(c.storage), L""}, browser);
        ASSERT_EQ(Result::Requested, installer.OfferDownload());
        EXPECT_EQ(c.result, installer.InstallControlFile(browser.urls.back(), c.source));
        EXPECT_EQ((Strings{"busy.ocx", "old.ocx"}), StoredFiles());
        EXPECT_EQ("the control placed earlier", ReadWholeFile(old));
        EXPECT_EQ(1u, browser.statusLines.size());
    }
}

TEST_F(ControlInstall, PlacedNameIsTheStemAndOcx) {
    const struct {
        std::wstring fileName;
        std::optional<std::wstring> placed;
    } cases[] = {
        {L"clock.oc_", L"clock.ocx"},
        {L"clock.ocx.z", L"clock.ocx.ocx"},
        {L"clock", L"clock.ocx"},
        {L"", std::nullopt},
        {L".oc_", std::nullopt},
        {L"CONOUT$.oc_", std::nullopt},
        {L"console.oc_", L"console.ocx"},
        {L"com10.oc_", L"com10.ocx"},
        {L"uhr-\u00e4\u65e5.oc_", L"uhr-\u00e4\u65e5.ocx"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.placed, install::PlacedControlName(c.fileName)) << Narrow(c.fileName);
    }
    EXPECT_EQ(L"C:\\controls\\clock.ocx", install::JoinPath(L"C:\\controls", L"clock.ocx"));
    EXPECT_EQ(L"C:\\controls\\clock.ocx", install::JoinPath(L"C:\\controls\\", L"clock.ocx"));
}

// The storage directory is read when the library starts: "Ocx Storage" of
// the profile section "Directories", else the system directory. Controls
// land in it whatever its length up to the platform's path limit and
// whatever characters it holds.
TEST_F(ControlInstall, StorageDirectoryComesFromTheProfileElseTheSystemDirectory) {
    // The value as it was comes back when the test ends, however it ends.
    struct SavedValue {
        fw::UniqueHKey key;
        std::optional<std::vector<BYTE>> bytes;
        ~SavedValue() {
            if (bytes) {
                ::RegSetValueExW(key.get(), L"Ocx Storage", 0, REG_SZ, bytes->data(),
                                 DWORD(bytes->size()));
            } else {
                ::RegDeleteValueW(key.get(), L"Ocx Storage");
            }
            ThePluginApp().InitInstance();
        }
    } saved;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Trevalon\\Trevalon\\Directories", 0,
                                nullptr, 0, KEY_READ | KEY_WRITE, nullptr, saved.key.put(), nullptr));
    const fw::UniqueHKey& key = saved.key;
    DWORD savedSize = 0;
    if (::RegQueryValueExW(key.get(), L"Ocx Storage", nullptr, nullptr, nullptr, &savedSize) ==
        ERROR_SUCCESS) {
        saved.bytes.emplace(savedSize);
        ::RegQueryValueExW(key.get(), L"Ocx Storage", nullptr, nullptr, saved.bytes->data(), &savedSize);
    }
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    // 200 characters, beyond any single-byte code page, below the path limit
    // with the placed name and the temporary one.
    // (Components of at most 40 characters: the host file system of the
    // test bench counts a component's bytes, not its characters.)
    std::wstring deep = Wide(scratch_) + L"Steuerelemente-\u00e4\u00f6\u00fc-\u65e5\u672c\u8a9e";
    ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr));
    while (deep.size() < 200) {
        deep += L"\\" + std::wstring(std::min<std::size_t>(40, 200 - deep.size() - 1), L'\u0436');
        ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr));
    }
    ASSERT_EQ(200u, deep.size());

    const struct {
        std::optional<std::wstring> value;
        std::wstring directory;
    } cases[] = {
        {std::nullopt, system},
        {Wide(storage_), Wide(storage_)},
        {Wide(storage_) + L"\\", Wide(storage_) + L"\\"},  // no second backslash
        {deep, deep},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << row++);
        if (c.value) {
            ASSERT_EQ(ERROR_SUCCESS,
                      ::RegSetValueExW(key.get(), L"Ocx Storage", 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(c.value->c_str()),
                                       static_cast<DWORD>((c.value->size() + 1) * sizeof(wchar_t))));
        } else {
            ::RegDeleteValueW(key.get(), L"Ocx Storage");
        }
        ThePluginApp().InitInstance();
        EXPECT_TRUE(c.directory == ThePluginApp().ocxStorageDirectory);
        if (!c.value) continue;  // nothing is placed in the system directory
        const CLSID clsid = NewClassId();
        const std::string text = ClassIdText(clsid);
        const ScopedClassesKey guard("CLSID\\" + text);
        ASSERT_TRUE(::SetEnvironmentVariableA("FIXTURE_CLSID", text.c_str()));
        ThePluginApp().perUserStorageDirectory = Wide(perUser_);
        const std::size_t statusBefore = browser.statusLines().size();
        InstallFrom(Page("clock.oc_"), "http://host/pages/clock.oc_",
                    WriteScratchFile("clock.oc_",
                                     Compressed(ReadWholeFile(FixturePath("fixture_register_ok.dll")))),
                    clsid);
        EXPECT_EQ(Strings{"clock.ocx"}, FilesIn(c.directory));
        EXPECT_EQ(Strings{"The control was installed: its file is not signed, and you chose to "
                          "install it."},
                  Strings(browser.statusLines().begin() + static_cast<std::ptrdiff_t>(statusBefore),
                          browser.statusLines().end()));
        const std::optional<std::wstring> server = install::RegisteredServerFile(clsid);
        ASSERT_TRUE(server);
        EXPECT_TRUE(install::IsSameFile(*server, install::JoinPath(c.directory, L"clock.ocx")));
        const std::optional<install::PlacedFile> record =
            install::FindPlacedFile(install::JoinPath(c.directory, L"clock.ocx"));
        ASSERT_TRUE(record);
        EXPECT_TRUE(record->fingerprint == install::FingerprintOf(*server));
        EXPECT_TRUE(record->classId == fw::ClassIdText(clsid));
        EXPECT_TRUE(record->version == L"1.0.0.2");
        responder.reset();
        ::DeleteFileW(install::JoinPath(c.directory, L"clock.ocx").c_str());
    }
}

}  // namespace
}  // namespace test
