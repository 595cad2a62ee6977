#include "pe_image.h"

#include <algorithm>
#include <cstring>

namespace tesmora::emulated {

namespace {

constexpr std::uint32_t kPage = 0x1000;
constexpr std::uint16_t kI386 = 0x014C;
constexpr std::uint16_t kPe32 = 0x010B;
constexpr std::uint16_t kDllFlag = 0x2000;
constexpr std::uint32_t kWritableSection = 0x80000000u;
constexpr std::uint32_t kExecutableSection = 0x20000000u;
constexpr std::uint32_t kOrdinalImport = 0x80000000u;
constexpr int kRelocationAbsolute = 0;
constexpr int kRelocationHighLow = 3;

enum Directory { kExports = 0, kImports = 1, kRelocations = 5, kThreadStorage = 9 };

// Thrown inside this file only: what is wrong with the file.
struct Damaged {
    std::string why;
};

std::uint32_t pages(std::uint64_t size) {
    return static_cast<std::uint32_t>((size + kPage - 1) / kPage * kPage);
}

// Little-endian values out of a buffer, every read checked against its end.
class Reader {
public:
    Reader(const std::vector<std::uint8_t>& data, const char* what) : data_(data), what_(what) {}

    void need(std::uint64_t offset, std::uint64_t size, const char* part) const {
        if (offset + size > data_.size()) throw Damaged{std::string(what_) + " ends inside " + part};
    }
    std::uint16_t u16(std::uint64_t offset, const char* part) const {
        return static_cast<std::uint16_t>(get(offset, 2, part));
    }
    std::uint32_t u32(std::uint64_t offset, const char* part) const {
        return static_cast<std::uint32_t>(get(offset, 4, part));
    }
    std::string text(std::uint64_t offset, const char* part) const {
        need(offset, 1, part);
        const auto* start = data_.data() + offset;
        const auto* end = static_cast<const std::uint8_t*>(std::memchr(start, 0, data_.size() - offset));
        if (end == nullptr) throw Damaged{std::string("a name in ") + part + " runs past the end of " + what_};
        return {start, end};
    }

private:
    std::uint64_t get(std::uint64_t offset, int size, const char* part) const {
        need(offset, size, part);
        std::uint64_t value = 0;
        for (int i = size - 1; i >= 0; --i) value = value << 8 | data_[offset + i];
        return value;
    }

    const std::vector<std::uint8_t>& data_;
    const char* what_;
};

struct DataDirectory {
    std::uint32_t start = 0;
    std::uint32_t size = 0;
};

void copyInto(PeImage& image, const std::vector<std::uint8_t>& file, std::uint32_t fileOffset, std::uint32_t at,
              std::uint32_t size, const char* part) {
    Reader(file, "the file").need(fileOffset, size, part);
    Reader(image.bytes, "the image").need(at, size, part);
    std::copy_n(file.begin() + fileOffset, size, image.bytes.begin() + at);
}

void relocate(PeImage& image, DataDirectory relocations) {
    const std::uint32_t delta = image.base - image.preferredBase;
    if (delta == 0) return;
    if (relocations.size == 0)
        throw Damaged{"the image cannot be moved from its preferred base: it has no relocations"};
    const Reader in(image.bytes, "the image");
    for (std::uint64_t block = relocations.start; block < std::uint64_t{relocations.start} + relocations.size;) {
        const std::uint32_t page = in.u32(block, "the relocations");
        const std::uint32_t blockSize = in.u32(block + 4, "the relocations");
        if (blockSize < 8) throw Damaged{"a relocation block is shorter than its header"};
        for (std::uint64_t entry = block + 8; entry + 2 <= block + blockSize; entry += 2) {
            const std::uint16_t value = in.u16(entry, "the relocations");
            const int type = value >> 12;
            if (type == kRelocationAbsolute) continue;
            if (type != kRelocationHighLow) throw Damaged{"relocation type " + std::to_string(type) + " is not i386's"};
            const std::uint64_t at = std::uint64_t{page} + (value & 0xFFFu);
            const std::uint32_t old = in.u32(at, "a relocated address");
            const std::uint32_t moved = old + delta;
            std::memcpy(image.bytes.data() + at, &moved, 4);
        }
        block += blockSize;
    }
}

void readImports(PeImage& image, DataDirectory imports) {
    const Reader in(image.bytes, "the image");
    for (std::uint64_t entry = imports.start; imports.size != 0; entry += 20) {
        const std::uint32_t lookup = in.u32(entry, "the import directory");
        const std::uint32_t name = in.u32(entry + 12, "the import directory");
        const std::uint32_t table = in.u32(entry + 16, "the import directory");
        if (name == 0 && table == 0) break;
        const std::string dll = in.text(name, "the import directory");
        const std::uint32_t names = lookup != 0 ? lookup : table;
        for (std::uint32_t i = 0;; ++i) {
            const std::uint32_t item = in.u32(std::uint64_t{names} + 4ull * i, "an import lookup table");
            if (item == 0) break;
            in.need(std::uint64_t{table} + 4ull * i, 4, "an import address table");
            const std::string function = (item & kOrdinalImport) != 0
                                             ? "#" + std::to_string(item & 0xFFFF)
                                             : in.text(std::uint64_t{item} + 2, "an import name");
            image.imports.push_back({dll, function, table + 4 * i});
        }
    }
}

void readExports(PeImage& image, DataDirectory exports) {
    if (exports.size == 0) return;
    const Reader in(image.bytes, "the image");
    const std::uint32_t base = in.u32(exports.start + 16ull, "the export directory");
    const std::uint32_t functionCount = in.u32(exports.start + 20ull, "the export directory");
    const std::uint32_t nameCount = in.u32(exports.start + 24ull, "the export directory");
    const std::uint32_t functions = in.u32(exports.start + 28ull, "the export directory");
    const std::uint32_t names = in.u32(exports.start + 32ull, "the export directory");
    const std::uint32_t ordinals = in.u32(exports.start + 36ull, "the export directory");
    for (std::uint32_t i = 0; i < functionCount; ++i) {
        const std::uint32_t address = in.u32(functions + 4ull * i, "the export address table");
        if (address != 0) image.exportsByOrdinal[base + i] = address;
    }
    for (std::uint32_t i = 0; i < nameCount; ++i) {
        const std::string name = in.text(in.u32(names + 4ull * i, "the export name table"), "the export names");
        const std::uint16_t index = in.u16(ordinals + 2ull * i, "the export ordinal table");
        if (index >= functionCount) throw Damaged{"export " + name + " has no address"};
        image.exportsByName[name] = in.u32(functions + 4ull * index, "the export address table");
    }
}

void readThreadStorage(PeImage& image, DataDirectory storage) {
    if (storage.size == 0) return;
    const Reader in(image.bytes, "the image");
    // The directory holds addresses, relocated like any other.
    auto relative = [&](std::uint64_t at) {
        const std::uint32_t address = in.u32(at, "the thread-storage directory");
        return address == 0 ? 0 : address - image.base;
    };
    ThreadStorage tls;
    tls.templateStart = relative(storage.start);
    tls.templateEnd = relative(storage.start + 4ull);
    tls.indexSlot = relative(storage.start + 8ull);
    tls.callbacks = relative(storage.start + 12ull);
    tls.zeroFill = in.u32(storage.start + 16ull, "the thread-storage directory");
    if (tls.templateEnd < tls.templateStart) throw Damaged{"the thread-storage template ends before it starts"};
    in.need(tls.templateStart, tls.templateEnd - tls.templateStart, "the thread-storage template");
    in.need(tls.indexSlot, 4, "the thread-storage index");
    image.threadStorage = tls;
}

void layOut(const std::vector<std::uint8_t>& file, PeImage& image) {
    const Reader in(file, "the file");
    if (in.u16(0, "the DOS header") != 0x5A4D) throw Damaged{"it is not a Windows program (no MZ header)"};
    const std::uint32_t pe = in.u32(0x3C, "the DOS header");
    if (in.u32(pe, "the PE header") != 0x00004550) throw Damaged{"it has no PE header"};
    if (in.u16(pe + 4ull, "the PE header") != kI386) throw Damaged{"it is not built for i386"};
    const std::uint16_t sectionCount = in.u16(pe + 6ull, "the PE header");
    const std::uint16_t optionalSize = in.u16(pe + 20ull, "the PE header");
    if ((in.u16(pe + 22ull, "the PE header") & kDllFlag) == 0) throw Damaged{"it is not a DLL"};
    const std::uint64_t optional = pe + 24ull;
    if (in.u16(optional, "the optional header") != kPe32) throw Damaged{"it is not a 32-bit image (PE32)"};
    image.entryPoint = in.u32(optional + 16, "the optional header");
    image.preferredBase = in.u32(optional + 28, "the optional header");
    const std::uint32_t imageSize = in.u32(optional + 56, "the optional header");
    const std::uint32_t headerSize = in.u32(optional + 60, "the optional header");
    const std::uint32_t directoryCount = std::min(in.u32(optional + 92, "the optional header"), 16u);
    if (imageSize == 0 || imageSize > (64u << 20) || headerSize > imageSize) {
        throw Damaged{"its image size " + std::to_string(imageSize) + " is not plausible"};
    }
    image.bytes.assign(pages(imageSize), 0);
    image.headerSize = pages(headerSize);
    copyInto(image, file, 0, 0, std::min<std::uint32_t>(headerSize, static_cast<std::uint32_t>(file.size())),
             "the headers");
    DataDirectory directories[16];
    for (std::uint32_t i = 0; i < directoryCount; ++i) {
        directories[i] = {in.u32(optional + 96 + 8ull * i, "the data directories"),
                          in.u32(optional + 100 + 8ull * i, "the data directories")};
    }
    for (std::uint16_t i = 0; i < sectionCount; ++i) {
        const std::uint64_t header = optional + optionalSize + 40ull * i;
        in.need(header, 40, "the section table");
        Section section;
        section.name.assign(reinterpret_cast<const char*>(file.data() + header),
                            strnlen(reinterpret_cast<const char*>(file.data() + header), 8));
        const std::uint32_t virtualSize = in.u32(header + 8, "the section table");
        section.start = in.u32(header + 12, "the section table");
        const std::uint32_t rawSize = in.u32(header + 16, "the section table");
        const std::uint32_t rawOffset = in.u32(header + 20, "the section table");
        const std::uint32_t flags = in.u32(header + 36, "the section table");
        const std::uint32_t memorySize = virtualSize != 0 ? virtualSize : rawSize;
        section.size = pages(memorySize);
        section.writable = (flags & kWritableSection) != 0;
        section.executable = (flags & kExecutableSection) != 0;
        if (section.start % kPage != 0 || std::uint64_t{section.start} + section.size > image.bytes.size()) {
            throw Damaged{"section " + section.name + " does not lie on whole pages inside the image"};
        }
        copyInto(image, file, rawOffset, section.start, std::min(rawSize, memorySize), "a section");
        image.sections.push_back(section);
    }
    relocate(image, directories[kRelocations]);
    readImports(image, directories[kImports]);
    readExports(image, directories[kExports]);
    readThreadStorage(image, directories[kThreadStorage]);
}

}  // namespace

bool layOutPeImage(const std::vector<std::uint8_t>& file, std::uint32_t base, PeImage& image, std::string& error) {
    image = PeImage{};
    image.base = base;
    try {
        layOut(file, image);
    } catch (const Damaged& damaged) {
        error = damaged.why;
        return false;
    }
    return true;
}

}  // namespace tesmora::emulated
