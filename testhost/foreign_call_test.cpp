// The foreign caller itself: it calls from the stack alignment asked for, and
// its checks name every breach of the convention that a callee can make.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foreign_call.h"

extern "C" {
// In rude_callees.S.
void rudeStackAtCall();
void rudeNone();
void rudeEbx();
void rudeEsi();
void rudeEdi();
void rudeEbp();
void rudePop();
void rudeDirection();
void rudeX87Control();
void rudeX87Stack();
void rudeMxcsr();
}

namespace tesmora::testhost {
namespace {

ForeignCall callOf(void (*function)(), std::uint32_t stackOffset, std::uint32_t argument) {
    return callForeign(reinterpret_cast<const void*>(function), {argument}, stackOffset);
}

TEST(ForeignCall, CallsFromTheAlignmentAskedForAndNamesEveryBreach) {
    const struct {
        void (*callee)();
        const char* breach;  // the start of the only line expected; null for none
    } cases[] = {
        {rudeNone, nullptr},
        {rudeEbx, "ebx changed"},
        {rudeEsi, "esi changed"},
        {rudeEdi, "edi changed"},
        {rudeEbp, "ebp changed"},
        {rudePop, "esp after the return"},
        {rudeDirection, "direction flag set"},
        {rudeX87Control, "x87 control word changed"},
        {rudeX87Stack, "x87 register stack not empty"},
        {rudeMxcsr, "MXCSR changed"},
    };
    for (std::uint32_t offset : {0u, 4u, 8u, 12u}) {
        const ForeignCall where = callOf(rudeStackAtCall, offset, 0);
        EXPECT_EQ(where.result % 16, offset);
        EXPECT_EQ(where.result, where.stackAtCall);
        for (const auto& c : cases) {
            const ForeignCall call = callOf(c.callee, offset, 0x1234567);
            const std::vector<std::string> breaches = conventionBreaches(call);
            if (c.breach == nullptr) {
                EXPECT_EQ(breaches, std::vector<std::string>{});
                EXPECT_EQ(call.result, 0x1234567u);
                continue;
            }
            ASSERT_EQ(breaches.size(), 1u) << c.breach << " at offset " << offset;
            EXPECT_EQ(breaches[0].rfind(c.breach, 0), 0u) << breaches[0];
        }
    }
}

}  // namespace
}  // namespace tesmora::testhost
