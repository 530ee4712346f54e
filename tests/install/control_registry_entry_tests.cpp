// The installed-control lookup against class registrations written into the
// registry and the fixture servers' real version resources.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "install/control_registry_entry.h"
#include "registry_test_support.h"

namespace {

using Outcome = install::ControlRegistryEntry::Outcome;
using test::ClassIdText;
using test::ClassRegistration;
using test::FixturePath;
using test::NewClassId;
using test::RegisterClassKey;

const char* Name(Outcome outcome) {
    constexpr const char* names[] = {"NotRegistered", "NotAControl", "NoServer",
                                     "ServerMissing", "OtherVersion", "Installed"};
    return names[int(outcome)];
}

struct VersionRow {
    const char* file;  // "" for a file that does not exist
    const char* productVersion;
};

TEST(GetProductVersionTest, ReadsFirstTranslationOnly) {
    const VersionRow rows[] = {
        {"fixture_v1002.dll", "1, 0, 0, 2"},
        {"fixture_v1003.dll", "1, 0, 0, 3"},
        {"fixture_german_first.dll", "2, 0, 0, 0"},
        {"fixture_empty_translation.dll", ""},
        {"fixture_no_product_version.dll", ""},
        {"fixture_plain.dll", ""},
        {"no_such_file.dll", ""},
    };
    for (const VersionRow& row : rows) {
        SCOPED_TRACE(row.file);
        EXPECT_EQ(install::ControlRegistryEntry::GetProductVersion(FixturePath(row.file)),
                  row.productVersion);
    }
}

struct InstalledRow {
    const char* server;
    const char* requiredVersion;
    Outcome outcome;
};

TEST(IsInstalledTest, ComparesProductVersionTextExactly) {
    const InstalledRow rows[] = {
        {"fixture_v1002.dll", "", Outcome::Installed},
        {"fixture_plain.dll", "", Outcome::Installed},
        {"fixture_v1002.dll", "1, 0, 0, 2", Outcome::Installed},
        {"fixture_v1002.dll", "1.0.0.2", Outcome::OtherVersion},
        {"fixture_v1002.dll", "1, 0, 0, 2 ", Outcome::OtherVersion},
        {"fixture_v1003.dll", "1, 0, 0, 2", Outcome::OtherVersion},
        {"fixture_german_first.dll", "1, 0, 0, 2", Outcome::OtherVersion},
        {"fixture_german_first.dll", "2, 0, 0, 0", Outcome::Installed},
        {"fixture_empty_translation.dll", "1, 0, 0, 2", Outcome::OtherVersion},
        {"fixture_no_product_version.dll", "1, 0, 0, 2", Outcome::OtherVersion},
        {"fixture_plain.dll", "1, 0, 0, 2", Outcome::OtherVersion},
    };
    for (const InstalledRow& row : rows) {
        SCOPED_TRACE(std::string(row.server) + " required \"" + row.requiredVersion + "\"");
        const CLSID clsid = NewClassId();
        const std::string server = FixturePath(row.server);
        const auto guard = RegisterClassKey(ClassIdText(clsid), {.server = server});
        install::ControlRegistryEntry entry;
        EXPECT_EQ(entry.IsInstalled(clsid, row.requiredVersion), row.outcome == Outcome::Installed);
        EXPECT_STREQ(Name(entry.LastOutcome()), Name(row.outcome));
        EXPECT_EQ(entry.serverPath, server);
    }
}

struct ShapeRow {
    const char* what;
    ClassRegistration registration;
    Outcome outcome;
    std::string serverPath;
};

TEST(IsInstalledTest, RefusesIncompleteRegistrations) {
    const std::string present = FixturePath("fixture_v1002.dll");
    const std::string missing = FixturePath("deleted_server.ocx");
    const std::string fills520(520, 'x');
    const std::string fits520 = "Q:\\" + std::string(516, 'x');
    const ShapeRow rows[] = {
        {"plain COM class", {.control = false, .server = present}, Outcome::NotAControl, ""},
        {"control without server", {}, Outcome::NoServer, ""},
        {"server value filling the buffer",
         {.server = fills520, .serverTerminated = false}, Outcome::NoServer, ""},
        {"server value one byte shorter", {.server = fits520}, Outcome::ServerMissing, fits520},
        {"server file missing", {.server = missing}, Outcome::ServerMissing, missing},
    };
    for (const ShapeRow& row : rows) {
        SCOPED_TRACE(row.what);
        const CLSID clsid = NewClassId();
        const auto guard = RegisterClassKey(ClassIdText(clsid), row.registration);
        install::ControlRegistryEntry entry;
        EXPECT_FALSE(entry.IsInstalled(clsid, ""));
        EXPECT_STREQ(Name(entry.LastOutcome()), Name(row.outcome));
        EXPECT_EQ(entry.serverPath, row.serverPath);
    }
}

// A copy of a fixture server in a folder of its own under the temporary
// directory; both are removed when it goes.
class PlacedServer {
public:
    PlacedServer(const std::wstring& folderName, const std::string& fixture) {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = temp + folderName;
        file_ = folder_ + L"\\server.dll";
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        EXPECT_TRUE(::CopyFileW(std::wstring(fixture.begin(), fixture.end()).c_str(), file_.c_str(), FALSE));
    }
    PlacedServer(const PlacedServer&) = delete;
    PlacedServer& operator=(const PlacedServer&) = delete;
    ~PlacedServer() {
        ::DeleteFileW(file_.c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }
    const std::wstring& file() const { return file_; }
    std::string ansiFile() const {
        char text[1024] = {};
        ::WideCharToMultiByte(CP_ACP, 0, file_.c_str(), -1, text, sizeof text, nullptr, nullptr);
        return text;
    }

private:
    std::wstring folder_;
    std::wstring file_;
};

// Server paths as real installations register them: the path that was
// checked is the one reported and the one whose version is read.
TEST(IsInstalledTest, FindsServerWhereInstallationsPutIt) {
    const std::string v1002 = FixturePath("fixture_v1002.dll");
    const std::string folder = v1002.substr(0, v1002.find_last_of('\\'));
    ASSERT_TRUE(::SetEnvironmentVariableA("NPTRV_FIXTURE_FOLDER", folder.c_str()));
    const PlacedServer deep(L"nptrv " + std::wstring(140, L'd'), v1002);
    const PlacedServer nonAscii(L"nptrv \u00DCbersicht \u03A9\u6587", v1002);
    const ShapeRow rows[] = {
        {"expand string", {.server = "%NPTRV_FIXTURE_FOLDER%\\fixture_v1002.dll", .serverExpands = true},
         Outcome::Installed, v1002},
        {"expand string, file missing",
         {.server = "%NPTRV_FIXTURE_FOLDER%\\gone.dll", .serverExpands = true},
         Outcome::ServerMissing, folder + "\\gone.dll"},
        {"quoted path", {.server = '"' + v1002 + '"'}, Outcome::Installed, v1002},
        {"path over 128 characters", {.server = deep.ansiFile()}, Outcome::Installed, deep.ansiFile()},
        {"non-ASCII folder", {.wideServer = nonAscii.file()}, Outcome::Installed, nonAscii.ansiFile()},
    };
    ASSERT_GT(deep.ansiFile().size(), 128u);
    for (const ShapeRow& row : rows) {
        SCOPED_TRACE(row.what);
        const CLSID clsid = NewClassId();
        const auto guard = RegisterClassKey(ClassIdText(clsid), row.registration);
        install::ControlRegistryEntry entry;
        EXPECT_EQ(entry.IsInstalled(clsid, "1, 0, 0, 2"), row.outcome == Outcome::Installed);
        EXPECT_STREQ(Name(entry.LastOutcome()), Name(row.outcome));
        EXPECT_EQ(entry.serverPath, row.serverPath);
    }
}

TEST(IsInstalledTest, UnknownClassIsNotRegistered) {
    install::ControlRegistryEntry entry;
    EXPECT_FALSE(entry.IsInstalled(NewClassId(), ""));
    EXPECT_EQ(entry.LastOutcome(), Outcome::NotRegistered);
}

TEST(IsInstalledTest, DeletedServerReportsItsRegistration) {
    char directory[MAX_PATH];
    ASSERT_NE(::GetTempPathA(MAX_PATH, directory), 0u);
    const std::string server = std::string(directory) + "deleted_control.ocx";
    ASSERT_TRUE(::CopyFileA(FixturePath("fixture_v1002.dll").c_str(), server.c_str(), FALSE));
    ASSERT_TRUE(::DeleteFileA(server.c_str()));

    const CLSID clsid = NewClassId();
    const std::string text = ClassIdText(clsid);
    const auto guard = RegisterClassKey(
        text, {.server = server, .progId = "Deleted.Control.1", .typeLib = "{0-typelib}"});
    install::ControlRegistryEntry entry;
    EXPECT_FALSE(entry.IsInstalled(clsid, "1, 0, 0, 2"));
    EXPECT_EQ(entry.LastOutcome(), Outcome::ServerMissing);
    EXPECT_EQ(entry.clsidText, text);
    EXPECT_EQ(entry.progId, "Deleted.Control.1");
    EXPECT_EQ(entry.typeLib, "{0-typelib}");
}

TEST(IsInstalledTest, DeletedServerWithoutProgIdLeavesFieldsEmpty) {
    const CLSID clsid = NewClassId();
    const std::string text = test::Lowercase(ClassIdText(clsid));
    const auto guard = RegisterClassKey(text, {.server = FixturePath("gone.ocx")});
    install::ControlRegistryEntry entry;
    EXPECT_FALSE(entry.IsInstalled(clsid, ""));
    EXPECT_EQ(entry.clsidText, text);  // as the registry spells it
    EXPECT_EQ(entry.progId, "");
    EXPECT_EQ(entry.typeLib, "");
}

TEST(IsInstalledTest, FindsLowerCaseKeyName) {
    const CLSID clsid = NewClassId();
    const auto guard = RegisterClassKey(test::Lowercase(ClassIdText(clsid)),
                                        {.server = FixturePath("fixture_v1002.dll")});
    install::ControlRegistryEntry entry;
    EXPECT_TRUE(entry.IsInstalled(clsid, "1, 0, 0, 2"));
}

// Classes that differ from the wanted one in a single byte, and a key named by
// a ProgID that stands for the wanted class, all complete controls: none of
// them is taken for the wanted class.
TEST(IsInstalledTest, PassesOverNearMisses) {
    const CLSID wanted = NewClassId();
    const std::string v1002 = FixturePath("fixture_v1002.dll");
    std::vector<test::ScopedClassesKey> guards;
    for (size_t byte = 0; byte < sizeof(CLSID); ++byte) {
        for (int delta : {-1, 1}) {
            CLSID nearMiss = wanted;
            reinterpret_cast<BYTE*>(&nearMiss)[byte] += BYTE(delta);
            guards.push_back(RegisterClassKey(ClassIdText(nearMiss), {.server = v1002}));
        }
    }
    const std::string progId = "Fixture.NearMiss." + std::to_string(::GetCurrentProcessId());
    guards.push_back(test::RegisterProgId(progId, ClassIdText(wanted)));
    guards.push_back(RegisterClassKey(progId, {.server = v1002}));
    guards.push_back(RegisterClassKey("{not a class id}", {.server = v1002}));

    install::ControlRegistryEntry missing;
    EXPECT_FALSE(missing.IsInstalled(wanted, ""));
    EXPECT_EQ(missing.LastOutcome(), Outcome::NotRegistered);

    const auto guard = RegisterClassKey(ClassIdText(wanted), {.server = v1002});
    install::ControlRegistryEntry found;
    EXPECT_TRUE(found.IsInstalled(wanted, "1, 0, 0, 2"));
}

// A hand-made version block in the 32-bit layout.
class VersionBlock {
public:
    // Appends a node; `valueUnits` is what wValueLength claims.
    static std::vector<BYTE> Node(const wchar_t* key, WORD type, const std::vector<BYTE>& value,
                                  WORD valueUnits, const std::vector<std::vector<BYTE>>& children = {}) {
        std::vector<BYTE> node(6);
        Append(node, key, (std::wcslen(key) + 1) * sizeof(wchar_t));
        Pad(node);
        node.insert(node.end(), value.begin(), value.end());
        Pad(node);
        for (const auto& child : children) {
            node.insert(node.end(), child.begin(), child.end());
            Pad(node);
        }
        const WORD header[3] = {WORD(node.size()), valueUnits, type};
        std::memcpy(node.data(), header, sizeof header);
        return node;
    }
    static std::vector<BYTE> Text(const wchar_t* text) {
        std::vector<BYTE> bytes;
        Append(bytes, text, (std::wcslen(text) + 1) * sizeof(wchar_t));
        return bytes;
    }
    // The block as GetFileVersionInfoA leaves it: the data, then as much room
    // again for the query's converted text.
    static std::vector<BYTE> WithRoom(std::vector<BYTE> data) {
        data.resize(data.size() * 2 + 4);
        return data;
    }

private:
    static void Append(std::vector<BYTE>& to, const void* from, size_t bytes) {
        const BYTE* first = static_cast<const BYTE*>(from);
        to.insert(to.end(), first, first + bytes);
    }
    static void Pad(std::vector<BYTE>& node) { node.resize((node.size() + 3) & ~size_t(3)); }
};

std::vector<BYTE> BlockWithTranslationBytes(WORD claimedBytes) {
    using V = VersionBlock;
    const auto strings = V::Node(
        L"StringFileInfo", 1, {}, 0,
        {V::Node(L"040904E4", 1, {}, 0, {V::Node(L"ProductVersion", 1, V::Text(L"7"), 2)})});
    const auto vars = V::Node(L"VarFileInfo", 1, {}, 0,
                              {V::Node(L"Translation", 0, {0x09, 0x04, 0xE4, 0x04}, claimedBytes)});
    return V::WithRoom(V::Node(L"VS_VERSION_INFO", 0, {}, 0, {strings, vars}));
}

TEST(ProductVersionInBlockTest, ReadsOnlyWhatTheTranslationClaims) {
    std::vector<BYTE> whole = BlockWithTranslationBytes(4);
    EXPECT_EQ(install::ProductVersionInBlock(whole), "7");
    // Half an entry: the bytes after it are not taken as its code page.
    std::vector<BYTE> half = BlockWithTranslationBytes(2);
    EXPECT_EQ(install::ProductVersionInBlock(half), "");
}

TEST(ProductVersionInBlockTest, StaysInsideTheBlock) {
    // The query puts its converted text in the room after the data; a block
    // handed over without that room does not hold the text.
    std::vector<BYTE> block = BlockWithTranslationBytes(4);
    const size_t dataBytes = (block.size() - 4) / 2;
    EXPECT_EQ(install::ProductVersionInBlock(std::span(block).first(dataBytes)), "");
}

}  // namespace
