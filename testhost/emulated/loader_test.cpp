// The emulated caller's loader on files it must refuse: a damaged file is an
// error message, never a read past its end; an import it does not serve is
// named.
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
