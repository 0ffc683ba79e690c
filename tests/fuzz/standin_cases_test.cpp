// The platform's answers to the cases the fuzz build's stand-ins must agree with
// (standin_cases.h), and with them the engine's doors to the platform: Utf8ToUtf16
// and the time module's calendar.
#include <gtest/gtest.h>

#include "standin_cases.h"

namespace {

void Failed(const char* table, int index)
{
    ADD_FAILURE() << table << ", case " << index;
}

TEST(StandInCases, ThePlatformAnswersEachAsListed)
{
    standin::CheckEveryCase(Failed, true);
}

} // namespace
