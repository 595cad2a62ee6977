// The native library's version, written into the file as an ELF note (owner
// "Tesmora", type 1, the version text): what VERSIONINFO is to the DLL. A host
// reads it from the loaded file without calling the module, which reports no
// version of its own.
#include <cstdint>

#include "tesmora_version.h"

namespace tesmora {
namespace {

constexpr std::uint32_t paddedToWords(std::uint32_t size) {
    return (size + 3) / 4 * 4;
}

constexpr char kOwner[] = "Tesmora";
constexpr char kVersion[] = TESMORA_VERSION_STRING;
constexpr std::uint32_t kVersionNoteType = 1;

// The layout of a note: three words, then the owner and the text, each with
// its terminator and padded to whole words. Only readers of the file use the
// fields, never the module's code.
struct VersionNote {
    std::uint32_t ownerSize;
    std::uint32_t textSize;
    std::uint32_t type;
    // cppcheck-suppress unusedStructMember
    char owner[paddedToWords(sizeof kOwner)];
    // cppcheck-suppress unusedStructMember
    char text[paddedToWords(sizeof kVersion)];
};

// A section named .note.* is a note, which the linker gathers into the
// file's note segment; `used` keeps it although no code refers to it.
[[gnu::section(".note.tesmora.version"), gnu::used, gnu::aligned(4)]] const VersionNote kVersionNote{
    sizeof kOwner, sizeof kVersion, kVersionNoteType, "Tesmora", TESMORA_VERSION_STRING};

}  // namespace
}  // namespace tesmora
