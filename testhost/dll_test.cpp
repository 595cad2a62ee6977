// What only the real DLL under wine can show: its exports as wine's loader
// finds them, and its load notification for a fresh copy and for threads.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "loaded_module.h"

namespace tesmora::testhost {
namespace {

TEST(Exports, EachNameAndItsOrdinalGiveTheSameAddressAndThereIsNoOrdinalOne) {
    const HMODULE module = loadedModule().handle;
    const std::pair<const char*, WORD> exports[] = {
        {"QueryXfm", 2}, {"XfmInit", 3}, {"XfmSetup", 4}, {"XfmDo", 5}, {"XfmDestroy", 6}};
    for (const auto& [name, ordinal] : exports) {
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
        EXPECT_EQ(GetProcAddress(module, name), GetProcAddress(module, MAKEINTRESOURCEA(ordinal))) << name;
    }
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(7)), nullptr);
}

DWORD WINAPI doNothing(LPVOID /*unused*/) {
    return 0;
}

TEST(LoadNotification, AFreshCopyLoadsAndUnloadsAndThreadsComeAndGo) {
    // A copy under another name is a new module: its process attach runs again,
    // and LoadLibrary fails if that notification does not answer success.
    char folder[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
    const std::string copy = std::string(folder) + "tesmora_load_test.xfm";
    ASSERT_TRUE(CopyFileA(kModuleFile, copy.c_str(), FALSE));
    HMODULE again = LoadLibraryA(copy.c_str());
    ASSERT_NE(again, nullptr) << GetLastError();
    EXPECT_NE(again, loadedModule().handle);

    HANDLE thread = CreateThread(nullptr, 0, doNothing, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);

    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_TRUE(DeleteFileA(copy.c_str()));
}

}  // namespace
}  // namespace tesmora::testhost
