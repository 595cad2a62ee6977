// Whole reads and writes on a descriptor: retried across interruptions and
// short transfers, so that callers need only say what failed.
#ifndef TESMORA_CLI_FILE_IO_H
#define TESMORA_CLI_FILE_IO_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace tesmora::cli {

// Reads up to count bytes at offset; stops early only at the end of the file.
// Answers the bytes read, or -1 (errno says why) on an error.
long long readAt(int descriptor, std::uint64_t offset, void* out, std::size_t count);

// Writes all count bytes at offset. False (errno says why) when it cannot.
bool writeAllAt(int descriptor, std::uint64_t offset, const void* bytes, std::size_t count);

// Writes all count bytes at the descriptor's position. False (errno says why) when it cannot.
bool writeAll(int descriptor, const void* bytes, std::size_t count);

// Throws HostError in the one wording every command uses, "cannot read
// NAME: ...", when path is missing, a folder, or may not be read; name is
// how the file is called ("the ranges file X"), path itself when empty.
void checkReadableFile(const std::string& path, const std::string& name = "");

}  // namespace tesmora::cli

#endif
