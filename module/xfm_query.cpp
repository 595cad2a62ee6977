// QueryXfm: the module's description for the host.
#include <cstdint>

#include "messages.h"
#include "platform.h"
#include "tesmora_version.h"
#include "xfm.h"

namespace tesmora {
namespace {

constexpr const char kCopyright[] = TESMORA_COPYRIGHT;
constexpr const char kDescription[] = "Make line from possible clilck";
constexpr std::uint16_t kQueryAnswer = 0x0480;

static_assert(sizeof kModuleTitle <= sizeof XfmQuery::name);
static_assert(sizeof kCopyright <= sizeof XfmQuery::copyright);
static_assert(sizeof kDescription <= sizeof XfmQuery::description);

}  // namespace
}  // namespace tesmora

// Writes the texts with their terminators and the three numbers; every other
// byte of the host's record keeps its value.
XFM_EXTERN_C XFM_EXPORT std::uint16_t XFM_WINAPI QueryXfm(XfmQuery* query) {
    using namespace tesmora;
    if (query == nullptr) {
        return kQueryAnswer;
    }
    platform::copyText(query->name, kModuleTitle);
    platform::copyText(query->copyright, kCopyright);
    platform::copyText(query->description, kDescription);
    query->fixedWord = 12;
    query->fixedLongA = 17;
    query->fixedLongB = 0;
    platform::copyText(query->extraTextA, "");
    platform::copyText(query->extraTextB, "");
    return kQueryAnswer;
}
