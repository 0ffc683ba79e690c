// The widget as a screen reader in another process sees it: every line a named
// child of its window's client object, in its place on the screen, and an object
// held by the reader after the widget has gone.
#include <gtest/gtest.h>

#include "accessible_reader.h"
#include "test_support.h"

#include <memory>

using namespace qt;

namespace {

const wchar_t kTitleLine[] = L"Чемпионат мира по футболу 2010";

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

TEST_F(WidgetAccessibility, ReadsEveryLineAsANamedChildInItsPlace)
{
    ASSERT_TRUE(StartWidgetHost(run, L"accessibility_read", L""));
    EXPECT_EQ(std::vector<std::wstring>{kTitleLine}, ReadAccessibleTexts(run.widget));

    RECT client;
    GetClientRect(run.widget, &client);
    MapWindowPoints(run.widget, nullptr, reinterpret_cast<POINT*>(&client), 2);
    auto children = ReadAccessibleChildren(run.widget);
    ASSERT_EQ(1u, children.size());
    EXPECT_EQ(ROLE_SYSTEM_STATICTEXT, children[0].role);
    EXPECT_EQ(L"", children[0].action) << "a line has no action";
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, InvokeAccessibleChild(run.widget, kTitleLine));
    EXPECT_EQ(E_INVALIDARG, InvokeAccessibleChild(run.widget, L"Нет такой строки"));
    RECT inside;
    EXPECT_TRUE(IntersectRect(&inside, &children[0].place, &client) && EqualRect(&inside, &children[0].place))
        << "a line lies in the widget, in screen coordinates";
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
    EXPECT_EQ(1, held->countBefore);

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
