// The version written into the module's file: the note the native library
// carries (owner "Tesmora", type 1), as the DLL carries its VERSIONINFO.
#ifndef TESMORA_CLI_MODULE_FILE_VERSION_H
#define TESMORA_CLI_MODULE_FILE_VERSION_H

#include <string>

namespace tesmora::cli {

// The version note of the library loaded with dlopen as handle, or empty when
// the file carries none.
std::string moduleFileVersion(void* handle);

}  // namespace tesmora::cli

#endif
