#include "module_info.h"

#include <cstring>

namespace tesmora::cli {

namespace {

// The module writes NUL-terminated texts; a field without a terminator is
// cut at its end rather than read past it.
template <std::size_t Size>
std::string textOf(const char (&field)[Size]) {
    return std::string(field, strnlen(field, Size));
}

}  // namespace

ModuleInfo queryModule(const EntryPoints& module) {
    XfmQuery query{};
    ModuleInfo info;
    info.result = module.queryXfm(&query);
    info.name = textOf(query.name);
    info.copyright = textOf(query.copyright);
    info.description = textOf(query.description);
    info.fixedWord = query.fixedWord;
    info.fixedLongA = query.fixedLongA;
    info.fixedLongB = query.fixedLongB;
    return info;
}

void printModuleInfo(std::ostream& out, const std::string& path, const ModuleInfo& info) {
    out << "module:       " << path << "\n"
        << "version:      " << (info.fileVersion.empty() ? "unknown (the file carries none)" : info.fileVersion) << "\n"
        << "name:         " << info.name << "\n"
        << "description:  " << info.description << "\n"
        << "copyright:    " << info.copyright << "\n"
        << "QueryXfm:     0x" << std::hex << info.result << std::dec << " (" << info.result << ")\n"
        << "fixed values: " << info.fixedWord << ", " << info.fixedLongA << ", " << info.fixedLongB << "\n";
}

}  // namespace tesmora::cli
