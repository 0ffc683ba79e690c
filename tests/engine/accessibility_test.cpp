// The widget as a screen reader in another process sees it: every line a named
// child of its window's client object, in its place on the screen, and an object
// held by the reader after the widget has gone.
#include <gtest/gtest.h>

#include "accessible_reader.h"
#include "test_support.h"

#include <memory>

using namespace qt;

namespace {

class WidgetAccessibility : public ::testing::Test {
protected:
    // The test thread keeps the multithreaded apartment, so an object read on one
    // reader thread stays usable on the next.
    void SetUp() override { apartment = CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    void TearDown() override
    {
        CleanUpHost(run);
        if (SUCCEEDED(apartment))
            CoUninitialize();
    }

    HostRun run;
    HRESULT apartment = E_FAIL;
};

// What the widget says during and after the tournament, line by line and arrow by
// arrow, as a screen reader in another process reads it (the texts of every moment
// are the in-process tables' business: this is the way to them).
TEST_F(WidgetAccessibility, ReadsTheWidgetDuringAndAfterTheTournament)
{
    const std::wstring title = L"Чемпионат мира по футболу 2010";
    const std::wstring pageArrows[] = { L"Предыдущая страница", L"Матчи", L"Следующая страница" };
    const struct {
        const wchar_t* tail;
        std::vector<std::wstring> lines;
    } days[] = {
        { L"/firstrun /date=2010-06-22T21:00",
          { title, L"вторник, 22 июня", pageArrows[0], pageArrows[1], pageArrows[2],
            L"Предыдущий день с матчами", L"Сегодня", L"Следующий день с матчами", L"Групповой этап",
            L"18:00 Мексика — Уругвай 0:1. Суарес 43'", L"18:00 Франция — ЮАР 1:2. Кумало 20', Мфела 37', Малуда 70'",
            L"22:30 Нигерия — Южная Корея через 1 ч 30 мин", L"22:30 Греция — Аргентина через 1 ч 30 мин" } },
        { L"/date=2010-07-20",
          { title, L"вторник, 20 июля", pageArrows[0], pageArrows[1], pageArrows[2],
            L"Предыдущий день с матчами", L"Сегодня", L"Испания — чемпион мира", L"Финал, 11 июля",
            L"22:30 Нидерланды — Испания 0:1 д.в. Иньеста 116'",
            L"Матч за 3-е место, 10 июля",
            L"22:30 Уругвай — Германия 2:3. Мюллер 19', Кавани 28', Форлан 51', Янсен 56', Хедира 82'" } },
    };
    for (const auto& day : days) {
        ASSERT_TRUE(StartWidgetHost(run, L"accessibility_read", day.tail));
        EXPECT_EQ(day.lines, ReadAccessibleTexts(run.widget)) << WideToUtf8(day.tail);
        DWORD code = 1;
        ASSERT_TRUE(ExitHost(run, &code));
    }

    // Every child lies in the widget, in screen coordinates; an arrow is a button that
    // a screen reader can press, a line is text without an action.
    ASSERT_TRUE(StartWidgetHost(run, L"accessibility_read", L"/date=2010-07-20"));
    RECT client;
    GetClientRect(run.widget, &client);
    MapWindowPoints(run.widget, nullptr, reinterpret_cast<POINT*>(&client), 2);
    for (const AccessibleChild& child : ReadAccessibleChildren(run.widget)) {
        RECT inside;
        EXPECT_TRUE(IntersectRect(&inside, &child.place, &client) && EqualRect(&inside, &child.place))
            << WideToUtf8(child.name);
        bool arrow = child.name.find(L"страница") != std::wstring::npos || child.name.find(L"день с") != std::wstring::npos;
        EXPECT_EQ(arrow ? ROLE_SYSTEM_PUSHBUTTON : ROLE_SYSTEM_STATICTEXT, child.role) << WideToUtf8(child.name);
        EXPECT_EQ(arrow, !child.action.empty()) << WideToUtf8(child.name);
    }
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, InvokeAccessibleChild(run.widget, title));
    EXPECT_EQ(E_INVALIDARG, InvokeAccessibleChild(run.widget, L"Нет такой строки"));

    // "Следующая страница" turns to the group tables as they stood at the end.
    EXPECT_EQ(S_OK, InvokeAccessibleChild(run.widget, pageArrows[2]));
    std::vector<std::wstring> groups;
    WaitUntil([&] {
        groups = ReadAccessibleTexts(run.widget);
        return groups.size() > 4 && groups[3] == L"Группы";
    });
    ASSERT_GT(groups.size(), 8u);
    EXPECT_EQ(L"Группы", groups[3]);
    EXPECT_EQ(L"Группа A И М Р О", groups[5]);
    EXPECT_EQ(L"Уругвай 3 4–0 +4 7", groups[6]);
    EXPECT_EQ(L"Франция 3 1–4 −3 1", groups[9]);
}

TEST_F(WidgetAccessibility, ObjectHeldByAReaderOutlivesTheWidget)
{
    ASSERT_TRUE(StartWidgetHost(run, L"accessibility_end", L""));
    struct Held {
        IAccessible* object = nullptr;
        LONG countBefore = -1;
        HRESULT count = S_OK, name = S_OK, action = S_OK;
    };
    auto held = std::make_shared<Held>();
    HWND widget = run.widget;
    ASSERT_TRUE(RunInApartment([held, widget] {
        held->object = AccessibleClientObject(widget);
        if (held->object)
            held->object->get_accChildCount(&held->countBefore);
    }));
    ASSERT_TRUE(held->object);
    EXPECT_GT(held->countBefore, 5) << "the widget's lines and arrows";

    DWORD code = 1;
    ASSERT_TRUE(ExitHost(run, &code));
    EXPECT_EQ(0u, code) << "the Host ends cleanly while a reader holds the widget's object";

    // Each call ends in an error, in time, and the reader lives on. The error is COM's
    // word that the Host is gone (Wine gives 0x800706BA, RPC_S_SERVER_UNAVAILABLE),
    // not the object's own CO_E_OBJNOTCONNECTED: the Host cannot end the widget and
    // live on, so that answer is checked in process (accessibility_object_test.cpp).
    ASSERT_TRUE(RunInApartment([held] {
        LONG count = 0;
        held->count = held->object->get_accChildCount(&count);
        BSTR name = nullptr;
        held->name = held->object->get_accName(AccessibleChildId(1), &name);
        SysFreeString(name);
        held->action = held->object->accDoDefaultAction(AccessibleChildId(1));
        held->object->Release();
    }));
    EXPECT_TRUE(FAILED(held->count)) << std::hex << held->count;
    EXPECT_TRUE(FAILED(held->name)) << std::hex << held->name;
    EXPECT_TRUE(FAILED(held->action)) << std::hex << held->action;
}

} // namespace
