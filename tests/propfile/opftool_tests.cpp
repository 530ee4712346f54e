// opftool: create then dump round-trips every value; dump prints the same for
// a file written directly with the platform's calls; bad arguments and files
// that are no property files are refused clearly.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include <wrl/client.h>

#include "fixture_files.h"
#include "opftool/commands.h"
#include "propfile/ansi_text.h"

namespace {

using Microsoft::WRL::ComPtr;
using propfile_test::TempFolder;

// The values every test writes, in the order dump prints them.
const std::pair<const char*, const char*> kHeaderValues[] = {
    {"Company Name", "Company Ltd."},  {"File Description", "Test control"},
    {"Legal Copyright", "(c) 1997"},   {"Legal Trademarks", "none"},
    {"Product Name", "Tester"},        {"Product Version", "1, 0, 0, 7"},
    {"Filename Url", "bin/tester.oc_"}, {"License Url", "http://host/license"},
    {"Width", "640"},                  {"Height", "-48"},
    {"IsCompressed", "TRUE"},
};
const char kContents[] = "persisted control state";

std::string ExpectedDump() {
    std::string text = "Browser Version: 3.0\n";
    for (const auto& [key, value] : kHeaderValues) text += std::string(key) + ": " + value + "\n";
    return text + "CLSID: " + propfile_test::kTestClsidText + "\nContents: " +
           std::to_string(sizeof kContents - 1) + " bytes\n";
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome RunInProcess(const opftool::Arguments& args) {
    std::ostringstream out, err;
    const int status = opftool::RunOpftool(args, out, err);
    return {status, out.str(), err.str()};
}

opftool::Arguments CreateArguments(const std::string& out, const std::string& contentsFile) {
    opftool::Arguments args = {"create", out, "--clsid", propfile_test::kTestClsidText,
                               "--browser-version", "3.0", "--contents", contentsFile};
    for (const auto& [key, value] : kHeaderValues) {
        args.insert(args.end(), {"--header", std::string(key) + "=" + value});
    }
    return args;
}

// The property file written step by step with structured storage itself.
void WriteWithPlatformCalls(const std::string& path) {
    constexpr DWORD mode = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    auto write = [](IStorage* storage, const std::string& name, const void* bytes, ULONG size) {
        ComPtr<IStream> stream;
        ASSERT_EQ(S_OK, storage->CreateStream(propfile::WidenAnsi(name).c_str(), mode, 0, 0, &stream));
        ASSERT_EQ(S_OK, stream->Write(bytes, size, nullptr));
    };
    ComPtr<IStorage> root, header, section;
    ASSERT_EQ(S_OK, ::StgCreateDocfile(propfile::WidenAnsi(path).c_str(), mode, 0, &root));
    write(root.Get(), "Browser Version", "3.0", 4);
    ASSERT_EQ(S_OK, root->CreateStorage(L"Header Section", mode, 0, 0, &header));
    for (const auto& [key, value] : kHeaderValues) {
        write(header.Get(), key, value, static_cast<ULONG>(std::strlen(value) + 1));
    }
    ASSERT_EQ(S_OK, root->CreateStorage(L"Object Property Section", mode, 0, 0, &section));
    ASSERT_EQ(S_OK, ::WriteClassStg(section.Get(), propfile_test::kTestClsid));
    write(section.Get(), "Contents", kContents, sizeof kContents - 1);
    ASSERT_EQ(S_OK, root->Commit(STGC_DEFAULT));
}

class OpftoolTest : public testing::Test {
protected:
    void SetUp() override { propfile_test::WriteRawFile(contentsFile_, kContents); }
    TempFolder folder_;
    const std::string contentsFile_ = folder_.File("state.bin");
    const std::string opf_ = folder_.File("made.opf");
};

TEST_F(OpftoolTest, CreateThenDumpRoundTripsEveryValue) {
    const Outcome created = RunInProcess(CreateArguments(opf_, contentsFile_));
    ASSERT_EQ(0, created.status) << created.err;
    const Outcome dumped = RunInProcess({"dump", opf_});
    EXPECT_EQ(0, dumped.status) << dumped.err;
    EXPECT_EQ(ExpectedDump(), dumped.out);
}

TEST_F(OpftoolTest, DumpOfAFileWrittenByThePlatformPrintsTheSame) {
    WriteWithPlatformCalls(opf_);
    const Outcome dumped = RunInProcess({"dump", opf_});
    EXPECT_EQ(0, dumped.status) << dumped.err;
    EXPECT_EQ(ExpectedDump(), dumped.out);
}

TEST_F(OpftoolTest, RefusesWhatItCannotUse) {
    const std::string clsid = propfile_test::kTestClsidText;
    propfile_test::WriteRawFile(folder_.File("text.opf"), "not a compound file");
    ASSERT_EQ(S_OK, opftool::WriteCompoundFile(folder_.File("bare.opf"), {}));
    struct Case {
        opftool::Arguments args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{}, 2, "expected a command"},
        {{"compress-all"}, 2, "unknown command \"compress-all\""},
        {{"create"}, 2, "expected exactly one output file OUT.opf"},
        {{"create", opf_}, 2, "expected --clsid {CLSID}"},
        {{"create", opf_, "--clsid", "{not-a-clsid}"}, 2, "--clsid expects a class identifier"},
        {{"create", opf_, "--clsid"}, 2, "--clsid expects a value"},
        {{"create", opf_, "--clsid", clsid, "--header", "Width"}, 2, "expects \"Key=Value\""},
        {{"create", opf_, "--clsid", clsid, "--header", "Colour=red"}, 2,
         "unknown header key \"Colour\"; known keys: \"Company Name\", \"File Description\""},
        {{"create", opf_, "--clsid", clsid, "--header", "Width=1", "--header", "Width=2"}, 2,
         "given twice"},
        {{"create", opf_, "--clsid", clsid, "--colour", "red"}, 2, "unknown option --colour"},
        {{"create", opf_, "--clsid", clsid, "--contents", folder_.File("none.bin")}, 1,
         "cannot read the contents file"},
        {{"dump"}, 2, "expected exactly one property file"},
        {{"dump", folder_.File("missing.opf")}, 1, "no such file"},
        {{"dump", folder_.File("text.opf")}, 1, "is not an object property file"},
        {{"dump", folder_.File("bare.opf")}, 1, "is not an object property file"},
    };
    for (const Case& c : cases) {
        std::string words;
        for (const std::string& word : c.args) words += " " + word;
        SCOPED_TRACE("opftool" + words);
        const Outcome outcome = RunInProcess(c.args);
        EXPECT_EQ(c.status, outcome.status);
        EXPECT_NE(std::string::npos, outcome.err.find(c.message)) << outcome.err;
        EXPECT_EQ("", outcome.out);
    }
}

TEST_F(OpftoolTest, HelpDescribesEachCommand) {
    for (const char* command : {"create", "dump"}) {
        SCOPED_TRACE(command);
        const Outcome outcome = RunInProcess({command, "--help"});
        EXPECT_EQ(0, outcome.status);
        EXPECT_EQ(0u, outcome.out.find(std::string("usage: opftool ") + command));
    }
}

// The built program itself, through its command line.
using propfile_test::UniqueHandle;

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;  // Wine's view of the host
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
}

Outcome RunProgram(const std::string& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    UniqueHandle readEnd, writeEnd;
    EXPECT_TRUE(::CreatePipe(readEnd.put(), writeEnd.put(), &inherit, 0));
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + WindowsPath(OPFTOOL_EXE) + "\" " + arguments;
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          nullptr, &startup, &process)) {
        return {-1, "", "CreateProcess failed"};
    }
    UniqueHandle processHandle(process.hProcess), thread(process.hThread);
    writeEnd.reset();
    std::string output;
    char chunk[512];
    DWORD read = 0;
    while (::ReadFile(readEnd.get(), chunk, sizeof chunk, &read, nullptr) && read) {
        output.append(chunk, read);
    }
    ::WaitForSingleObject(processHandle.get(), 30000);
    DWORD status = 0;
    ::GetExitCodeProcess(processHandle.get(), &status);
    std::string lines;  // the program writes text-mode lines
    for (char c : output) if (c != '\r') lines += c;
    return {static_cast<int>(status), lines, ""};
}

TEST_F(OpftoolTest, TheProgramCreatesAndDumpsFromItsCommandLine) {
    std::string create = "create \"" + opf_ + "\" --clsid " + propfile_test::kTestClsidText +
                         " --browser-version 3.0 --contents \"" + contentsFile_ + "\"";
    for (const auto& [key, value] : kHeaderValues) {
        create += std::string(" --header \"") + key + "=" + value + "\"";
    }
    const Outcome created = RunProgram(create);
    ASSERT_EQ(0, created.status) << created.out;
    EXPECT_EQ(ExpectedDump(), RunProgram("dump \"" + opf_ + "\"").out);
    EXPECT_EQ(1, RunProgram("dump \"" + contentsFile_ + "\"").status);
}

}  // namespace
