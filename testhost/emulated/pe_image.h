// A 32-bit Windows DLL read from its file and laid out as Windows lays it out
// in memory: headers and sections at their addresses, relocated to the base it
// is given, with its imports, exports and thread-local storage named. Every
// offset the file gives is checked against the file and the image, so that a
// damaged file is an error message, never a read out of bounds.
#ifndef TESMORA_TESTHOST_EMULATED_PE_IMAGE_H
#define TESMORA_TESTHOST_EMULATED_PE_IMAGE_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tesmora::emulated {

// One function the DLL imports by name (or "#N" by ordinal) from another DLL.
struct Import {
    std::string dll;
    std::string name;
    std::uint32_t slot = 0;  // where its entry of the import address table lies, relative to the base
};

// A section with the access Windows gives its pages.
struct Section {
    std::string name;
    std::uint32_t start = 0;  // relative to the base
    std::uint32_t size = 0;   // in memory, a whole number of pages
    bool writable = false;
    bool executable = false;
};

// The thread-local storage the DLL asks for, relative to the base.
struct ThreadStorage {
    std::uint32_t templateStart = 0;  // the initial contents of each thread's block
    std::uint32_t templateEnd = 0;
    std::uint32_t zeroFill = 0;   // zero bytes after the template
    std::uint32_t indexSlot = 0;  // where the loader writes the block's index
    std::uint32_t callbacks = 0;  // null-terminated list of callback addresses; 0 for none
};

struct PeImage {
    std::uint32_t preferredBase = 0;
    std::uint32_t base = 0;           // the address it is laid out for
    std::vector<std::uint8_t> bytes;  // the whole image, relocated to base
    std::uint32_t headerSize = 0;     // in memory, a whole number of pages
    std::uint32_t entryPoint = 0;     // relative to the base; 0: none
    std::vector<Section> sections;
    std::vector<Import> imports;
    std::map<std::string, std::uint32_t> exportsByName;       // relative addresses
    std::map<std::uint32_t, std::uint32_t> exportsByOrdinal;  // relative addresses
    std::optional<ThreadStorage> threadStorage;
};

// Lays out file, a PE32 DLL for i386, for base. On failure returns false and
// says why in error.
bool layOutPeImage(const std::vector<std::uint8_t>& file, std::uint32_t base, PeImage& image, std::string& error);

}  // namespace tesmora::emulated

#endif
