// The test host's test program: loads the real tesmora.xfm (the one named as
// the first argument, or the one beside the program), runs the tests through
// its exports, and ends with a line counting them.
//   PROGRAM [MODULE] [gtest options]
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "module_under_test.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    using namespace tesmora::testhost;
    const std::string module = argc > 1 ? argv[1] : kModuleFile;
    std::string error;
    if (!loadModuleUnderTest(module, error)) {
        std::fprintf(stderr, "test host: %s\n", error.c_str());
        return 1;
    }
    int status = RUN_ALL_TESTS();
    if (!unloadModuleUnderTest(error)) {
        std::fprintf(stderr, "test host: %s\n", error.c_str());
        status = 1;
    }
    const auto& tests = *::testing::UnitTest::GetInstance();
    std::printf("%s: %d passed, %d failed\n", callerKind(), tests.successful_test_count(), tests.failed_test_count());
    return status;
}
