#include "module_file_version.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>

namespace tesmora::cli {

namespace {

constexpr char kOwner[] = "Tesmora";
constexpr ElfW(Word) kVersionNoteType = 1;

constexpr std::size_t roundedUp(std::size_t size, std::size_t alignment) {
    return (size + alignment - 1) / alignment * alignment;
}

// The version note among the notes of one segment, read as the loader mapped it.
std::string versionIn(const unsigned char* notes, std::size_t size, std::size_t alignment) {
    std::size_t at = 0;
    while (at + sizeof(ElfW(Nhdr)) <= size) {
        ElfW(Nhdr) header{};
        std::memcpy(&header, notes + at, sizeof header);
        const std::size_t owner = at + sizeof header;
        const std::size_t text = owner + roundedUp(header.n_namesz, alignment);
        const std::size_t next = text + roundedUp(header.n_descsz, alignment);
        if (text > size || next > size) break;  // a damaged note: stop rather than read past the segment
        if (header.n_type == kVersionNoteType && header.n_namesz == sizeof kOwner &&
            std::memcmp(notes + owner, kOwner, sizeof kOwner) == 0) {
            const char* version = reinterpret_cast<const char*>(notes + text);
            return {version, strnlen(version, header.n_descsz)};
        }
        at = next;
    }
    return {};
}

struct Search {
    ElfW(Addr) base = 0;
    std::string version;
};

int searchObject(dl_phdr_info* object, std::size_t /*size*/, void* data) {
    auto* search = static_cast<Search*>(data);
    if (object->dlpi_addr != search->base) return 0;
    for (ElfW(Half) i = 0; i < object->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = object->dlpi_phdr[i];
        if (segment.p_type != PT_NOTE) continue;
        const auto* notes = reinterpret_cast<const unsigned char*>(object->dlpi_addr + segment.p_vaddr);
        search->version = versionIn(notes, segment.p_memsz, segment.p_align == 8 ? 8 : 4);
        if (!search->version.empty()) break;
    }
    return 1;
}

}  // namespace

std::string moduleFileVersion(void* handle) {
    link_map* library = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &library) != 0 || library == nullptr) return {};
    Search search;
    search.base = library->l_addr;
    dl_iterate_phdr(searchObject, &search);
    return search.version;
}

}  // namespace tesmora::cli
