// The files a command produces, written in full to temporary files first and
// renamed into place together at the end, so that a failure or a stop at any
// point leaves none of them half-written.
#ifndef TESMORA_CLI_PENDING_OUTPUTS_H
#define TESMORA_CLI_PENDING_OUTPUTS_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "atomic_file.h"
#include "audio_file.h"
#include "patched_copy.h"
#include "sample_layout.h"

namespace tesmora::cli {

class PendingOutputs {
public:
    // Each throws HostError when the file cannot be written.
    void addAudio(const std::string& path, const Audio& audio);
    void addText(const std::string& path, const std::string& text);
    // The input, open on source, copied with the patches' samples rewritten
    // (see writePatchedCopy). With keepAttributes the copy gets the input's
    // owner, group, ACLs and extended attributes too. Answers false, having
    // written nothing, when stopFlag is set meanwhile.
    bool addPatchedCopy(const std::string& path, int source, const SampleLayout& layout,
                        const std::vector<RangePatch>& patches, bool keepAttributes, volatile std::int32_t& stopFlag);

    // Renames every file into place, in the order added.
    // The FLAC input re-encoded with the patches (see writeRepairedFlac).
    bool addRepairedFlac(const std::string& path, const std::string& sourcePath, int source, int channels,
                         const std::vector<RangePatch>& patches, bool keepAttributes, volatile std::int32_t& stopFlag);

    void commitAll();

private:
    // A new file at path written by write(descriptor, replacesAFile), with
    // source's owner, mode, ACLs and extended attributes when keepAttributes;
    // kept only when write answers true.
    template <typename Write>
    bool addWritten(const std::string& path, int source, bool keepAttributes, Write write);

    std::vector<std::unique_ptr<AtomicFile>> files_;
};

}  // namespace tesmora::cli

#endif
