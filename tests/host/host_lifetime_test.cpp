// The Host from start to end: start-up, the engine calls, "Выход", "/exit".
#include <gtest/gtest.h>

#include "test_support.h"

using namespace qt;

namespace {

class HostLifetime : public ::testing::Test {
protected:
    void TearDown() override { CleanUpHost(run); }
    HostRun run;
};

TEST_F(HostLifetime, StartsAddsIconRunsEngineAndExitsCleanly)
{
    ASSERT_TRUE(StartHost(run, L"lifetime", L""));
    EXPECT_TRUE(TrayIconPresent(run.tray));

    auto adds = LogLines(run.log, L"notify");
    ASSERT_FALSE(adds.empty());
    EXPECT_EQ(L"0", Field(adds[0], L"action"));
    EXPECT_EQ(L"976", Field(adds[0], L"cb"));
    EXPECT_EQ(L"7", Field(adds[0], L"flags"));
    EXPECT_EQ(L"12294", Field(adds[0], L"callback"));
    EXPECT_EQ(L"Чeмпионат Мира по Футболу 2010", Field(adds[0], L"tip"));

    DWORD code = 1;
    ASSERT_TRUE(ExitHost(run, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(1u, LogLines(run.log, L"exit").size());
    EXPECT_FALSE(TrayIconPresent(run.tray));
}

} // namespace
