// The test host: loads the real tesmora.xfm, redirects its imports to the
// recorders, and runs the entry-point tests through its exports.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "guarded_block.h"
#include "loaded_module.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::string error;
    if (!tesmora::testhost::loadModule(error)) {
        std::fprintf(stderr, "test host: %s\n", error.c_str());
        return 1;
    }
    tesmora::testhost::reportGuardFaults();
    return RUN_ALL_TESTS();
}
