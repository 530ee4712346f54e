// CStorageFile on real compound files: opening and its read-only retry, the
// walk through nested storages, value reads, and what the object releases.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fixture_files.h"
#include "propfile/ansi_text.h"
#include "propfile/ole_error.h"
#include "propfile/storage_file.h"

namespace {

using propfile::OleError;
using propfile_test::CanOpenExclusively;
using propfile_test::TempFolder;

DWORD StorageMode(IStorage* storage) {
    STATSTG stat{};
    EXPECT_EQ(S_OK, storage->Stat(&stat, STATFLAG_NONAME));
    return stat.grfMode;
}

DWORD StreamMode(IStream* stream) {
    STATSTG stat{};
    EXPECT_EQ(S_OK, stream->Stat(&stat, STATFLAG_NONAME));
    return stat.grfMode;
}

// (root) "here"="root", "A" { "here"="A", "B" { "here"="B" } }
opftool::StorageNode NestedTree() {
    opftool::StorageNode b{"B", std::nullopt, {{"here", "B"}}, {}};
    opftool::StorageNode a{"A", std::nullopt, {{"here", "A"}}, {b}};
    return {"", std::nullopt, {{"here", "root"}}, {a}};
}

std::string Here(propfile::CStorageFile& file) {
    char buffer[16] = {};
    const UINT count = file.ReadValue("here", reinterpret_cast<BYTE*>(buffer), sizeof buffer);
    return std::string(buffer, count);
}

class StorageFileTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, opftool::WriteCompoundFile(path_, NestedTree())); }
    TempFolder folder_;
    const std::string path_ = folder_.File("nested.opf");
};

// Keeps writers out of `path`, which stays readable: the read-only attribute,
// plus, where that does not keep this process out (the superuser under Wine),
// a handle that shares the file for reading only.
class WriteBarrier {
public:
    explicit WriteBarrier(const std::string& path) : path_(path) {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        if (!OpensForWriting()) return;
        guard_ = propfile_test::OpenExistingFile(path, GENERIC_READ, FILE_SHARE_READ);
    }
    ~WriteBarrier() { ::SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL); }
    bool OpensForWriting() const {
        return propfile_test::OpenExistingFile(path_, GENERIC_WRITE, FILE_SHARE_READ).valid();
    }

private:
    std::string path_;
    propfile_test::UniqueHandle guard_;
};

TEST_F(StorageFileTest, OpensWritableFilesReadWrite) {
    propfile::CStorageFile file;
    ASSERT_TRUE(file.Open(path_));
    EXPECT_EQ(0x10012u, StorageMode(file.currentStorage()));
}

TEST_F(StorageFileTest, RetriesReadOnlyButAsksReadWriteBelowTheRoot) {
    WriteBarrier barrier(path_);
    ASSERT_FALSE(barrier.OpensForWriting());
    propfile::CStorageFile file;
    ASSERT_TRUE(file.Open(path_));
    EXPECT_EQ(0x10010u, StorageMode(file.currentStorage()));
    file.EnterStorage("A");
    EXPECT_EQ(0x10012u, StorageMode(file.currentStorage()));
    ASSERT_TRUE(file.OpenChildStream("here", propfile::CStorageFile::kStreamMode));
    EXPECT_EQ(0x12u, StreamMode(file.GetStream()));
    EXPECT_EQ("A", Here(file));
}

TEST_F(StorageFileTest, OpenFailureCarriesTheStatusOfTheReadOnlyAttempt) {
    const std::string notCompound = folder_.File("plain.txt");
    propfile_test::WriteRawFile(notCompound, std::string(1024, 'x'));
    for (const std::string& path : {folder_.File("missing.opf"), notCompound}) {
        SCOPED_TRACE(path);
        IStorage* probe = nullptr;
        const HRESULT expected = ::StgOpenStorage(propfile::WidenAnsi(path).c_str(),
                                                  nullptr, 0x10010, nullptr, 0, &probe);
        ASSERT_FALSE(probe);
        ASSERT_NE(S_OK, expected);
        propfile::CStorageFile file;
        try {
            file.Open(path);
            ADD_FAILURE() << "Open succeeded";
        } catch (const OleError& error) {
            EXPECT_EQ(expected, error.status());
        }
        EXPECT_FALSE(file.isOpen());
        EXPECT_EQ(nullptr, file.currentStorage());
    }
}

TEST_F(StorageFileTest, WalksDownAndBackUpToClosed) {
    propfile::CStorageFile file;
    ASSERT_TRUE(file.Open(path_));
    file.EnterStorage("A");
    file.EnterStorage("B");
    EXPECT_EQ("B", Here(file));
    EXPECT_EQ(2u, file.parentStack().size());

    struct Step {
        BOOL left;
        const char* here;  // the storage stood in afterwards; "" when closed
        std::size_t parents;
        BOOL open;
    };
    const Step steps[] = {
        {TRUE, "A", 1, TRUE}, {TRUE, "root", 0, TRUE}, {TRUE, "", 0, FALSE}, {FALSE, "", 0, FALSE}};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE("LeaveStorage #" + std::to_string(i + 1));
        EXPECT_EQ(steps[i].left, file.LeaveStorage());
        EXPECT_EQ(steps[i].here, Here(file));
        EXPECT_EQ(steps[i].parents, file.parentStack().size());
        EXPECT_EQ(steps[i].open, file.isOpen());
        EXPECT_EQ(steps[i].open, file.OpenChildStream("here", propfile::CStorageFile::kStreamMode));
    }
    EXPECT_EQ(nullptr, file.currentStorage());
}

TEST_F(StorageFileTest, RefusedEnterChangesNothing) {
    propfile::CStorageFile file;
    EXPECT_THROW(file.EnterStorage("A"), OleError);  // Closed
    ASSERT_TRUE(file.Open(path_));
    file.EnterStorage("A");
    IStorage* const before = file.currentStorage();
    try {
        file.EnterStorage("Nope");
        ADD_FAILURE() << "EnterStorage succeeded";
    } catch (const OleError& error) {
        EXPECT_EQ(STG_E_FILENOTFOUND, error.status());
    }
    EXPECT_EQ(before, file.currentStorage());
    EXPECT_EQ(1u, file.parentStack().size());
    EXPECT_EQ("A", Here(file));
}

TEST(StorageFileValueTest, ReadsAtMostMaxBytesAndNothingBeyondThem) {
    struct Case {
        const char* name;
        std::size_t streamSize;  // stream of bytes 1, 2, 3, ...; SIZE_MAX: no stream
        UINT expected;
    };
    const Case cases[] = {
        {"five bytes", 5, 5},      {"empty", 0, 0},         {"exactly max", 256, 256},
        {"longer than max", 300, 256}, {"missing", SIZE_MAX, 0},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes;
        for (std::size_t i = 0; c.streamSize != SIZE_MAX && i < c.streamSize; ++i) {
            bytes += static_cast<char>(1 + i % 250);
        }
        const std::string path = folder.File("value.opf");
        opftool::StorageNode root;
        if (c.streamSize != SIZE_MAX) root.streams = {{"value", bytes}};
        ASSERT_EQ(S_OK, opftool::WriteCompoundFile(path, root));

        std::vector<BYTE> buffer(260, 0xCD);  // 256 to read, 4 that must stay
        propfile::CStorageFile file;
        ASSERT_TRUE(file.Open(path));
        ASSERT_EQ(c.expected, file.ReadValue("value", buffer.data(), 256));
        EXPECT_EQ(0, std::memcmp(buffer.data(), bytes.data(), c.expected));
        EXPECT_EQ(std::vector<BYTE>(260 - c.expected, 0xCD),
                  std::vector<BYTE>(buffer.begin() + c.expected, buffer.end()));
        EXPECT_EQ(nullptr, file.GetStream());  // closed again
    }
}

TEST_F(StorageFileTest, TheOpenStreamReadsFromItsFirstByte) {
    const std::string state = "saved state of the control, 0123456789";
    ASSERT_EQ(S_OK, opftool::WriteCompoundFile(
                        path_, {"", std::nullopt, {}, {{"S", std::nullopt, {{"Contents", state}}, {}}}}));
    propfile::CStorageFile file;
    ASSERT_TRUE(file.Open(path_));
    file.EnterStorage("S");
    ASSERT_TRUE(file.OpenChildStream("Contents", propfile::CStorageFile::kStreamMode));
    std::string read;
    char chunk[7];
    while (const UINT count = file.Read(chunk, sizeof chunk)) read.append(chunk, count);
    EXPECT_EQ(state, read);
    HRESULT error = S_OK;
    EXPECT_FALSE(file.OpenChildStream("Absent", propfile::CStorageFile::kStreamMode, &error));
    EXPECT_EQ(STG_E_FILENOTFOUND, error);
    EXPECT_EQ(nullptr, file.GetStream());
}

// Whatever path the walk took, the object lets go of the file when it goes.
TEST_F(StorageFileTest, DestructionReleasesEverythingStillHeld) {
    struct Case {
        const char* name;
        void (*walk)(propfile::CStorageFile&);
    };
    const Case cases[] = {
        {"at depth 2", [](propfile::CStorageFile& f) { f.EnterStorage("A"), f.EnterStorage("B"); }},
        {"stream left open below the root",
         [](propfile::CStorageFile& f) {
             f.EnterStorage("A");
             f.OpenChildStream("here", propfile::CStorageFile::kStreamMode);
         }},
        {"after a refused enter",
         [](propfile::CStorageFile& f) {
             f.EnterStorage("A");
             EXPECT_THROW(f.EnterStorage("missing"), OleError);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            propfile::CStorageFile file;
            ASSERT_TRUE(file.Open(path_));
            c.walk(file);
            EXPECT_FALSE(CanOpenExclusively(path_));
        }
        EXPECT_TRUE(CanOpenExclusively(path_));
    }
}

}  // namespace
