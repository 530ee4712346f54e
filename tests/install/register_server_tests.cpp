// Self-registration through a control file's own exports, and the COM state of
// the calling thread around it.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include <objbase.h>

#include "install/control_registry_entry.h"
#include "registry_test_support.h"

namespace {

using test::FixturePath;

struct RegisterRow {
    const char* file;
    bool registerIt;
    bool result;
};

TEST(RegisterServerTest, SucceedsOnlyWhenTheExportSucceeds) {
    const RegisterRow rows[] = {
        {"not_a_library.ocx", true, false},
        {"no_such_file.ocx", true, false},
        {"fixture_plain.dll", true, false},
        {"fixture_plain.dll", false, false},
        {"fixture_register_false.dll", true, true},
        {"fixture_register_false.dll", false, true},
        {"fixture_register_fail.dll", true, false},
        {"fixture_register_fail.dll", false, false},
    };
    for (const RegisterRow& row : rows) {
        SCOPED_TRACE(std::string(row.file) + (row.registerIt ? " register" : " unregister"));
        install::ControlRegistryEntry entry;
        EXPECT_EQ(entry.RegisterServer(row.registerIt, FixturePath(row.file)), row.result);
    }
}

// Runs `body` on a new thread that starts without COM.
template <typename Body>
void OnFreshThread(Body body) {
    std::thread thread(body);
    thread.join();
}

TEST(RegisterServerTest, LeavesAThreadWithoutComUninitialised) {
    for (const char* file : {"not_a_library.ocx", "fixture_register_false.dll"}) {
        SCOPED_TRACE(file);
        OnFreshThread([file] {
            install::ControlRegistryEntry entry;
            entry.RegisterServer(true, FixturePath(file));
            // A thread left in an apartment would refuse the multithreaded one.
            const HRESULT joined = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            EXPECT_EQ(joined, S_OK);
            if (SUCCEEDED(joined)) ::CoUninitialize();
        });
    }
}

TEST(RegisterServerTest, LeavesTheCallersApartmentInitialised) {
    install::ControlRegistryEntry entry;
    EXPECT_FALSE(entry.RegisterServer(true, FixturePath("not_a_library.ocx")));
    const HRESULT again = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(again, S_FALSE);
    if (SUCCEEDED(again)) ::CoUninitialize();
}

TEST(RegisterServerTest, RefusesAMultithreadedCaller) {
    const CLSID clsid = test::NewClassId();
    const std::string text = test::ClassIdText(clsid);
    const test::ScopedClassesKey guard("CLSID\\" + text);
    ASSERT_TRUE(::SetEnvironmentVariableA("FIXTURE_CLSID", text.c_str()));
    OnFreshThread([] {
        ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        install::ControlRegistryEntry entry;
        EXPECT_FALSE(entry.RegisterServer(true, FixturePath("fixture_register_ok.dll")));
        ::CoUninitialize();
    });
    install::ControlRegistryEntry lookup;
    EXPECT_FALSE(lookup.IsInstalled(clsid, ""));
    EXPECT_EQ(lookup.LastOutcome(), install::ControlRegistryEntry::Outcome::NotRegistered);
}

TEST(RegisterServerTest, RegisteredControlIsFoundAndUnregisteredAgain) {
    const CLSID clsid = test::NewClassId();
    const std::string text = test::ClassIdText(clsid);
    const test::ScopedClassesKey guard("CLSID\\" + text);
    ASSERT_TRUE(::SetEnvironmentVariableA("FIXTURE_CLSID", text.c_str()));
    const std::string server = FixturePath("fixture_register_ok.dll");

    install::ControlRegistryEntry registration;
    ASSERT_TRUE(registration.RegisterServer(true, server));
    install::ControlRegistryEntry installed;
    EXPECT_TRUE(installed.IsInstalled(clsid, "1, 0, 0, 2"));
    EXPECT_EQ(test::Lowercase(installed.serverPath), test::Lowercase(server));

    install::ControlRegistryEntry removal;
    EXPECT_TRUE(removal.RegisterServer(false, server));
    install::ControlRegistryEntry gone;
    EXPECT_FALSE(gone.IsInstalled(clsid, ""));
    EXPECT_EQ(gone.LastOutcome(), install::ControlRegistryEntry::Outcome::NotRegistered);
}

}  // namespace
