// What only a real USER32 can answer: message-box results beyond yes and no.
#include <gtest/gtest.h>

#include "caller_test.h"
#include "fake_world.h"
#include "recorded_calls.h"
#include "xfm.h"

namespace tesmora::testhost {
namespace {

using RawAnswersTest = testing::CallerTest;

TEST_P(RawAnswersTest, AnyAnswerButNoGoesOn) {
    testing::FakeWorld world;
    XfmContext context{};
    context.selectionEnd = 1000;
    for (int answer : {kIdOk, kIdCancel, kIdAbort, kIdRetry, kIdIgnore, kIdYes}) {
        rawAnswers.push_back(answer);
        EXPECT_EQ(XfmSetup(nullptr, 0, &context), 1) << answer;
    }
    rawAnswers.push_back(kIdNo);
    EXPECT_EQ(XfmSetup(nullptr, 0, &context), 0);
}

TESMORA_FOR_EVERY_CALLER(RawAnswersTest);

}  // namespace
}  // namespace tesmora::testhost
