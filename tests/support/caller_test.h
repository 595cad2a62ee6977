// A test fixture run once per caller of callers(): each test of it calls the
// entry points in every way this build can, and fails on any breach of the
// calling convention those calls made.
#ifndef TESMORA_TESTS_CALLER_TEST_H
#define TESMORA_TESTS_CALLER_TEST_H

#include <gtest/gtest.h>

#include <ostream>

#include "caller.h"

namespace tesmora::testing {

// Test names and messages show a caller by its name.
inline void PrintTo(const Caller& caller, std::ostream* out) {
    *out << caller.name;
}

class CallerTest : public ::testing::TestWithParam<Caller> {
protected:
    void SetUp() override { callAs(GetParam()); }
    void TearDown() override { EXPECT_EQ(takeConventionFaults(), std::vector<std::string>{}); }
};

}  // namespace tesmora::testing

// Runs every test of Suite, a CallerTest, once per caller.
#define TESMORA_FOR_EVERY_CALLER(Suite)                                     \
    INSTANTIATE_TEST_SUITE_P(                                               \
        Callers, Suite, ::testing::ValuesIn(::tesmora::testing::callers()), \
        [](const ::testing::TestParamInfo<::tesmora::testing::Caller>& info) { return info.param.name; })

#endif
