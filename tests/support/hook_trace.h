// Records what LineRepair's hooks saw, in order, and sets the stop flag when
// told to.
#ifndef TESMORA_TESTS_HOOK_TRACE_H
#define TESMORA_TESTS_HOOK_TRACE_H

#include <cstdint>
#include <string>
#include <vector>

#include "line_repair.h"

namespace tesmora {

// What the hooks saw, in order: "report k/total" and "stop?".
struct HookTrace {
    std::vector<std::string> events;
    // The stop flag turns on when the report at this position arrives (0: on from the start).
    std::int64_t stopAt = -1;
    bool stop = false;

    RepairHooks hooks() {
        stop = stopAt == 0;
        return {[](void* user, std::uint32_t position, std::uint32_t total) {
                    auto* self = static_cast<HookTrace*>(user);
                    self->events.push_back("report " + std::to_string(position) + "/" + std::to_string(total));
                    if (position == self->stopAt) {
                        self->stop = true;
                    }
                },
                [](void* user) {
                    auto* self = static_cast<HookTrace*>(user);
                    self->events.emplace_back("stop?");
                    return self->stop;
                },
                this};
    }
};

}  // namespace tesmora

#endif
