// The file tesmora.xfm itself, read from disk as bytes: a 32-bit DLL with
// exactly the five exports from ordinal 2, system imports only, no timestamp,
// the toolbar bitmap drawn from its grid, and the project's version.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "loaded_module.h"
#include "tesmora_version.h"

namespace tesmora::testhost {
namespace {

class PeFile : public ::testing::Test {
protected:
    std::vector<unsigned char> bytes;
    const IMAGE_NT_HEADERS32* nt = nullptr;

    void SetUp() override {
        std::ifstream file(kModuleFile, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(file), {});
        ASSERT_GT(bytes.size(), sizeof(IMAGE_DOS_HEADER));
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
        ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
        ASSERT_LT(static_cast<std::size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32), bytes.size());
        nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
        ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    }

    // The bytes at a relative virtual address, through the section table.
    template <typename T = char>
    const T* at(DWORD rva) const {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->SizeOfRawData) {
                return reinterpret_cast<const T*>(bytes.data() + section->PointerToRawData +
                                                  (rva - section->VirtualAddress));
            }
        }
        ADD_FAILURE() << "address " << rva << " lies in no section";
        return nullptr;
    }

    DWORD directory(int entry) const { return nt->OptionalHeader.DataDirectory[entry].VirtualAddress; }

    // The entries of one level of the resource tree.
    std::vector<IMAGE_RESOURCE_DIRECTORY_ENTRY> resourceEntries(DWORD offset) const {
        const auto* dir = at<IMAGE_RESOURCE_DIRECTORY>(directory(IMAGE_DIRECTORY_ENTRY_RESOURCE) + offset);
        const auto* first = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY_ENTRY*>(dir + 1);
        return {first, first + dir->NumberOfNamedEntries + dir->NumberOfIdEntries};
    }

    std::string resourceName(const IMAGE_RESOURCE_DIRECTORY_ENTRY& entry) const {
        const auto* name =
            at<IMAGE_RESOURCE_DIR_STRING_U>(directory(IMAGE_DIRECTORY_ENTRY_RESOURCE) + entry.NameOffset);
        return std::string(name->NameString, name->NameString + name->Length);
    }

    // The data of the resource type/name/language, or empty when there is none.
    std::vector<unsigned char> resource(WORD type, const std::string& name, WORD language) const {
        for (const auto& t : resourceEntries(0)) {
            if (t.NameIsString || t.Id != type) continue;
            for (const auto& n : resourceEntries(t.OffsetToDirectory)) {
                const bool matches = name.empty() ? !n.NameIsString : n.NameIsString && resourceName(n) == name;
                if (!matches) continue;
                for (const auto& l : resourceEntries(n.OffsetToDirectory)) {
                    if (l.Id != language) continue;
                    const auto* data =
                        at<IMAGE_RESOURCE_DATA_ENTRY>(directory(IMAGE_DIRECTORY_ENTRY_RESOURCE) + l.OffsetToData);
                    const auto* start = at<unsigned char>(data->OffsetToData);
                    return {start, start + data->Size};
                }
            }
        }
        return {};
    }
};

TEST_F(PeFile, IsA32BitDllWithoutTimestamps) {
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_32BIT_MACHINE);
    EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_EQ(nt->FileHeader.TimeDateStamp, 0u);
    EXPECT_EQ(at<IMAGE_EXPORT_DIRECTORY>(directory(IMAGE_DIRECTORY_ENTRY_EXPORT))->TimeDateStamp, 0u);
}

TEST_F(PeFile, ExportsExactlyTheFiveEntryPointsFromOrdinalTwo) {
    const auto* exports = at<IMAGE_EXPORT_DIRECTORY>(directory(IMAGE_DIRECTORY_ENTRY_EXPORT));
    EXPECT_EQ(exports->Base, 2u);
    EXPECT_EQ(exports->NumberOfFunctions, 5u);
    ASSERT_EQ(exports->NumberOfNames, 5u);
    EXPECT_STREQ(at(exports->Name), "tesmora.xfm");
    std::map<std::string, DWORD> ordinals;
    const auto* names = at<DWORD>(exports->AddressOfNames);
    const auto* indices = at<WORD>(exports->AddressOfNameOrdinals);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        ordinals[at(names[i])] = exports->Base + indices[i];
    }
    EXPECT_EQ(ordinals, (std::map<std::string, DWORD>{
                            {"QueryXfm", 2}, {"XfmInit", 3}, {"XfmSetup", 4}, {"XfmDo", 5}, {"XfmDestroy", 6}}));
}

TEST_F(PeFile, ImportsOnlyFromTheSystem) {
    std::set<std::string> libraries;
    std::set<std::string> functions;
    for (const auto* library = at<IMAGE_IMPORT_DESCRIPTOR>(directory(IMAGE_DIRECTORY_ENTRY_IMPORT)); library->Name != 0;
         ++library) {
        libraries.insert(at(library->Name));
        for (const auto* name = at<IMAGE_THUNK_DATA32>(library->OriginalFirstThunk); name->u1.AddressOfData != 0;
             ++name) {
            functions.insert(at<IMAGE_IMPORT_BY_NAME>(name->u1.AddressOfData)->Name);
        }
    }
    EXPECT_EQ(libraries, (std::set<std::string>{"KERNEL32.dll", "USER32.dll", "msvcrt.dll"}));
    for (const char* needed : {"MessageBoxA", "GlobalAlloc", "GlobalFree", "lstrcpyA"}) {
        EXPECT_EQ(functions.count(needed), 1u) << needed;
    }
}

// The grid of palette indices the bitmap is drawn from, top row first.
std::vector<std::string> toolbarGrid() {
    std::ifstream file(TESMORA_TOOLBAR_GRID);
    std::vector<std::string> rows;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line[0] != '#') rows.push_back(line);
    }
    return rows;
}

TEST_F(PeFile, CarriesTheToolbarBitmapDrawnFromItsGrid) {
    const std::vector<unsigned char> bitmap = resource(2, "TOOLBARICON", 1033);
    ASSERT_EQ(bitmap.size(), 40u + 16 * 4 + 20 * 12);
    BITMAPINFOHEADER header;
    std::memcpy(&header, bitmap.data(), sizeof header);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 20);
    EXPECT_EQ(header.biHeight, 20);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 4);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));

    // Black, dark red, dark green, olive, dark blue, purple, teal, silver, grey,
    // red, green, yellow, blue, magenta, cyan, white; each stored blue, green, red, 0.
    const unsigned char palette[16][4] = {{0, 0, 0, 0},       {0, 0, 128, 0},   {0, 128, 0, 0},   {0, 128, 128, 0},
                                          {128, 0, 0, 0},     {128, 0, 128, 0}, {128, 128, 0, 0}, {192, 192, 192, 0},
                                          {128, 128, 128, 0}, {0, 0, 255, 0},   {0, 255, 0, 0},   {0, 255, 255, 0},
                                          {255, 0, 0, 0},     {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0}};
    EXPECT_EQ(std::memcmp(bitmap.data() + 40, palette, sizeof palette), 0);

    const std::vector<std::string> grid = toolbarGrid();
    ASSERT_EQ(grid.size(), 20u);
    const unsigned char* pixels = bitmap.data() + 40 + sizeof palette;
    for (int y = 0; y < 20; ++y) {
        const unsigned char* row = pixels + (19 - y) * 12;  // bottom row first
        for (int x = 0; x < 20; ++x) {
            const int index = x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0xF;
            EXPECT_EQ(index, std::stoi(grid[y].substr(x, 1), nullptr, 16)) << "pixel " << x << ", " << y;
        }
        // The frame: a grey border.
        EXPECT_EQ(grid[y][0], '8');
        EXPECT_EQ(grid[y][19], '8');
    }
    EXPECT_EQ(grid[0], std::string(20, '8'));
    EXPECT_EQ(grid[19], std::string(20, '8'));
}

// The version record's text value for key: after the key's wide text and its
// terminator, padded to a 32-bit boundary, up to its terminator.
std::string versionText(const std::vector<unsigned char>& record, const std::string& key) {
    std::vector<unsigned char> wideKey;
    for (char c : key + '\0') wideKey.insert(wideKey.end(), {static_cast<unsigned char>(c), 0});
    auto at = std::search(record.begin(), record.end(), wideKey.begin(), wideKey.end());
    if (at == record.end()) return "(no " + key + ")";
    std::size_t offset = (static_cast<std::size_t>(at - record.begin()) + wideKey.size() + 3) / 4 * 4;
    std::string text;
    for (; offset + 1 < record.size() && (record[offset] != 0 || record[offset + 1] != 0); offset += 2) {
        text += static_cast<char>(record[offset]);
    }
    return text;
}

TEST_F(PeFile, CarriesTheProjectVersion) {
    const std::vector<unsigned char> version = resource(16, "", 1033);
    ASSERT_FALSE(version.empty());
    // The project version as CMakeLists.txt writes it, MAJOR.MINOR.PATCH.
    unsigned major = 0;
    unsigned minor = 0;
    unsigned patch = 0;
    ASSERT_EQ(std::sscanf(TESMORA_PROJECT_VERSION, "%u.%u.%u", &major, &minor, &patch), 3);

    const DWORD signature = 0xFEEF04BD;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&signature);
    const auto fixed = std::search(version.begin(), version.end(), bytes, bytes + sizeof signature);
    ASSERT_GE(version.end() - fixed, static_cast<std::ptrdiff_t>(sizeof(VS_FIXEDFILEINFO)));
    VS_FIXEDFILEINFO numbers;
    std::memcpy(&numbers, &*fixed, sizeof numbers);
    EXPECT_EQ(numbers.dwFileVersionMS, major << 16 | minor);
    EXPECT_EQ(numbers.dwFileVersionLS, patch << 16);
    EXPECT_EQ(numbers.dwProductVersionMS, major << 16 | minor);
    EXPECT_EQ(numbers.dwProductVersionLS, patch << 16);

    EXPECT_EQ(versionText(version, "FileVersion"), TESMORA_PROJECT_VERSION);
    EXPECT_EQ(versionText(version, "ProductVersion"), TESMORA_PROJECT_VERSION);
    EXPECT_EQ(versionText(version, "ProductName"), TESMORA_PRODUCT_NAME);
    EXPECT_EQ(versionText(version, "LegalCopyright"), TESMORA_COPYRIGHT);
    EXPECT_EQ(versionText(version, "OriginalFilename"), "tesmora.xfm");
}

}  // namespace
}  // namespace tesmora::testhost
