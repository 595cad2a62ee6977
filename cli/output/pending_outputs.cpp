#include "pending_outputs.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "failure.h"
#include "file_attributes.h"
#include "file_io.h"
#include "flac_copy.h"

namespace tesmora::cli {

void PendingOutputs::addAudio(const std::string& path, const Audio& audio) {
    auto file = std::make_unique<AtomicFile>(path);
    writeAudio(audio, file->descriptor(), path);
    files_.push_back(std::move(file));
}

void PendingOutputs::addText(const std::string& path, const std::string& text) {
    auto file = std::make_unique<AtomicFile>(path);
    if (!writeAll(file->descriptor(), text.data(), text.size())) {
        throw HostError("cannot write " + path + ": " + std::strerror(errno));
    }
    files_.push_back(std::move(file));
}

template <typename Write>
bool PendingOutputs::addWritten(const std::string& path, int source, bool keepAttributes, Write write) {
    auto file = std::make_unique<AtomicFile>(path);
    if (keepAttributes) copyFileAttributes(source, file->descriptor(), path);
    if (!write(file->descriptor(), file->replacesAFile())) return false;
    files_.push_back(std::move(file));
    return true;
}

bool PendingOutputs::addPatchedCopy(const std::string& path, int source, const SampleLayout& layout,
                                    const std::vector<RangePatch>& patches, bool keepAttributes,
                                    volatile std::int32_t& stopFlag) {
    return addWritten(path, source, keepAttributes, [&](int target, bool replacesAFile) {
        return writePatchedCopy(source, target, layout, patches, path, replacesAFile, stopFlag);
    });
}

bool PendingOutputs::addRepairedFlac(const std::string& path, const std::string& sourcePath, int source, int channels,
                                     const std::vector<RangePatch>& patches, bool keepAttributes,
                                     volatile std::int32_t& stopFlag) {
    return addWritten(path, source, keepAttributes, [&](int target, bool /*replacesAFile*/) {
        return writeRepairedFlac(sourcePath, source, target, channels, patches, path, stopFlag);
    });
}

void PendingOutputs::commitAll() {
    for (const auto& file : files_) file->commit();
}

}  // namespace tesmora::cli
