// The emulated caller itself: it names every breach of the convention and
// every stray access a callee makes, and its loader refuses what it must (a
// damaged file is an error message, never a read past its end; an import it
// does not serve is named).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dll_loader.h"
#include "emulated_binding.h"
#include "machine.h"
#include "system_imports.h"

namespace tesmora::emulated {
namespace {

std::vector<std::uint8_t> moduleBytes() {
    std::ifstream in(boundDll().path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t peHeader(const std::vector<std::uint8_t>& file) {
    std::uint32_t offset = 0;
    std::memcpy(&offset, file.data() + 0x3C, 4);
    return offset;
}

TEST(EmulatedCaller, NamesEveryBreachAndStrayAccessOfACallee) {
    const struct {
        std::vector<std::uint8_t> code;  // a stdcall function of one argument
        const char* fault;               // the start of the only line expected; null for none
    } cases[] = {
        {{0xC2, 0x04, 0x00}, nullptr},                                                 // ret 4
        {{0xBB, 1, 0, 0, 0, 0xC2, 0x04, 0x00}, "ebx changed"},                         // mov ebx, 1
        {{0xBE, 1, 0, 0, 0, 0xC2, 0x04, 0x00}, "esi changed"},                         // mov esi, 1
        {{0xBF, 1, 0, 0, 0, 0xC2, 0x04, 0x00}, "edi changed"},                         // mov edi, 1
        {{0xBD, 1, 0, 0, 0, 0xC2, 0x04, 0x00}, "ebp changed"},                         // mov ebp, 1
        {{0xC3}, "esp after the return"},                                              // ret: the argument stays
        {{0xFD, 0xC2, 0x04, 0x00}, "direction flag set"},                              // std
        {{0xD9, 0xE8, 0xC2, 0x04, 0x00}, "x87 register stack not empty"},              // fld1
        {{0x6A, 0x7F, 0xD9, 0x2C, 0x24, 0x58, 0xC2, 0x04, 0x00}, "x87 control word"},  // fldcw 0x7F
        {{0x68, 0xC0, 0x1F, 0, 0, 0x0F, 0xAE, 0x14, 0x24, 0x58, 0xC2, 0x04, 0x00}, "MXCSR changed"},
        {{0xC7, 0x05, 0, 0, 0, 0, 1, 0, 0, 0, 0xC2, 0x04, 0x00}, "write of 4 bytes at 0x00000000"},
        {{0x8B, 0x44, 0x24, 0x08, 0xC2, 0x04, 0x00}, nullptr},  // mov eax, [esp + 8]: the caller's own stack
    };
    Machine machine;
    for (const auto& c : cases) {
        const Address callee = machine.addCode(c.code);
        for (std::uint32_t offset : {0u, 4u, 8u, 12u}) {
            const testhost::ForeignCall call =
                machine.call(callee, {7}, offset, testhost::kWindowsX87Control, testhost::kWindowsMxcsr);
            std::vector<std::string> faults = machine.takeFaults();
            if (faults.empty()) faults = testhost::conventionBreaches(call);
            EXPECT_EQ(call.stackAtCall % 16, offset);
            if (c.fault == nullptr) {
                EXPECT_EQ(faults, std::vector<std::string>{}) << offset;
            } else {
                ASSERT_EQ(faults.size(), 1u) << c.fault;
                EXPECT_EQ(faults[0].rfind(c.fault, 0), 0u) << faults[0];
            }
        }
    }
}

TEST(Loader, ADamagedFileIsAnErrorNeverARead) {
    const std::vector<std::uint8_t> file = moduleBytes();
    ASSERT_GT(file.size(), 4096u);
    PeImage image;
    std::string error;
    for (std::size_t size = 0; size < file.size(); size += 7) {
        const std::vector<std::uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
        error.clear();
        const bool laidOut = layOutPeImage(cut, 0x10000000, image, error);
        EXPECT_TRUE(laidOut || !error.empty()) << size;
    }
    struct Damage {
        std::uint32_t offset;  // from the PE header
        std::uint32_t value;
        const char* error;
    };
    for (const Damage& damage : {Damage{4, 0x8664, "not built for i386"}, Damage{24, 0x020B, "not a 32-bit image"},
                                 Damage{80, 0x7FFFFFFF, "image size"}, Damage{0, 0x4551, "no PE header"}}) {
        std::vector<std::uint8_t> damaged = file;
        std::memcpy(damaged.data() + peHeader(file) + damage.offset, &damage.value, 4);
        EXPECT_FALSE(layOutPeImage(damaged, 0x10000000, image, error)) << damage.error;
        EXPECT_NE(error.find(damage.error), std::string::npos) << error;
    }
}

TEST(Loader, AnImportItDoesNotServeIsNamed) {
    std::vector<std::uint8_t> file = moduleBytes();
    const char name[] = "GlobalFree";
    auto at = std::search(file.begin(), file.end(), name, name + sizeof name);
    ASSERT_NE(at, file.end());
    at[6] = 'X';  // GlobalXree
    const std::string path = testing::TempDir() + "unknown_import.xfm";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    Machine machine;
    SystemImports system(machine);
    LoadedDll dll;
    std::string error;
    EXPECT_FALSE(loadDll(machine, system, path, dll, error));
    EXPECT_NE(error.find("KERNEL32.dll!GlobalXree"), std::string::npos) << error;
    std::remove(path.c_str());
}

}  // namespace
}  // namespace tesmora::emulated
