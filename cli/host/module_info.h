// What the module says about itself through QueryXfm.
#ifndef TESMORA_CLI_MODULE_INFO_H
#define TESMORA_CLI_MODULE_INFO_H

#include <cstdint>
#include <ostream>
#include <string>

#include "module_loader.h"

namespace tesmora::cli {

struct ModuleInfo {
    std::uint16_t result = 0;  // QueryXfm's own result
    std::string name;
    std::string copyright;
    std::string description;
    std::uint16_t fixedWord = 0;
    std::uint32_t fixedLongA = 0;
    std::uint32_t fixedLongB = 0;
    std::string fileVersion;  // from the file, not from QueryXfm; empty when it carries none
};

ModuleInfo queryModule(const EntryPoints& module);

// `tesmora info`: the path and every field, one a line.
void printModuleInfo(std::ostream& out, const std::string& path, const ModuleInfo& info);

}  // namespace tesmora::cli

#endif
