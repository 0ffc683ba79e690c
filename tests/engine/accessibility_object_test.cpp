// The client object in the widget's own process, on a window of the test's that
// answers as the widget does. The test holds the object itself, not a COM proxy, so
// every call reaches it: the arrow's action, the notices of changed lines, and the
// answers once the window is gone.
#include <gtest/gtest.h>

#include "accessible_reader.h"
#include "base/accessibility.h"

using namespace qt;

namespace {

const wchar_t kClass[] = L"accessible_object_test";

struct TestItem {
    std::wstring name;
    RECT bounds;
    bool button;
    WORD command;
};
std::vector<TestItem> s_items;
std::vector<std::pair<DWORD, LONG>> s_events;

int ProvideItems(HWND, AccessibleItem* items, int capacity)
{
    for (int i = 0; i < capacity && i < static_cast<int>(s_items.size()); ++i)
        items[i] = {s_items[i].name.c_str(), s_items[i].bounds, s_items[i].button, s_items[i].command};
    return static_cast<int>(s_items.size());
}

LRESULT CALLBACK TestWidgetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETOBJECT)
        return AnswerAccessibilityRequest(window, wParam, lParam, ProvideItems);
    if (message == WM_DESTROY)
        ReleaseAccessibility(window);
    return DefWindowProcW(window, message, wParam, lParam);
}

void CALLBACK RecordEvent(HWINEVENTHOOK, DWORD event, HWND, LONG object, LONG child, DWORD, DWORD)
{
    if (object == OBJID_CLIENT && (event == EVENT_OBJECT_REORDER || event == EVENT_OBJECT_NAMECHANGE))
        s_events.push_back({event, child});
}

class AccessibleObject : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The widget's thread as the engine leaves it: a single-threaded apartment.
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        s_items = {{L"Бразилия — Испания", {0, 0, 160, 40}, false, 0}, {L"→", {160, 0, 200, 40}, true, 42}};
        s_events.clear();
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = TestWidgetProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClass;
        RegisterClassW(&windowClass);
        widget = CreateWindowExW(WS_EX_TOOLWINDOW, kClass, L"Тест", WS_POPUP | WS_VISIBLE, 100, 100, 200, 40, nullptr,
                                 nullptr, windowClass.hInstance, nullptr);
        object = AccessibleClientObject(widget);
    }
    void TearDown() override
    {
        if (object)
            object->Release();
        DestroyWindow(widget);
        UnregisterClassW(kClass, GetModuleHandleW(nullptr));
        CoUninitialize();
    }

    HWND widget = nullptr;
    IAccessible* object = nullptr;
};

TEST_F(AccessibleObject, ArrowPostsTheWidgetsCommandAndALineHasNoAction)
{
    ASSERT_TRUE(object);
    BSTR action = nullptr;
    ASSERT_EQ(S_OK, object->get_accDefaultAction(AccessibleChildId(2), &action));
    EXPECT_STREQ(L"Нажать", action);
    SysFreeString(action);
    VARIANT role;
    ASSERT_EQ(S_OK, object->get_accRole(AccessibleChildId(2), &role));
    EXPECT_EQ(ROLE_SYSTEM_PUSHBUTTON, role.lVal);

    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, object->accDoDefaultAction(AccessibleChildId(1)));
    EXPECT_EQ(E_INVALIDARG, object->accDoDefaultAction(AccessibleChildId(3)));
    ASSERT_EQ(S_OK, object->accDoDefaultAction(AccessibleChildId(2)));
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, widget, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(42, LOWORD(message.wParam));
    EXPECT_FALSE(PeekMessageW(&message, widget, WM_COMMAND, WM_COMMAND, PM_REMOVE)) << "one command per action";
}

TEST_F(AccessibleObject, ChangedTextIsANameChangeAndANewLineAReorder)
{
    ASSERT_TRUE(object);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_NAMECHANGE, nullptr, RecordEvent,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_TRUE(hook);
    s_items[0].name = L"Бразилия 1:0 Испания";
    NotifyAccessibleContentChanged(widget);
    NotifyAccessibleContentChanged(widget); // nothing changed since: nothing to tell
    s_items.push_back({L"Германия — Англия", {0, 40, 160, 80}, false, 0});
    NotifyAccessibleContentChanged(widget);
    // Out-of-context events come through this thread's messages.
    WaitUntil([] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        return s_events.size() >= 2;
    });
    UnhookWinEvent(hook);
    std::vector<std::pair<DWORD, LONG>> expected = {{EVENT_OBJECT_NAMECHANGE, 1}, {EVENT_OBJECT_REORDER, CHILDID_SELF}};
    EXPECT_EQ(expected, s_events);
}

TEST_F(AccessibleObject, AnswersNotConnectedOnceTheWindowIsGone)
{
    ASSERT_TRUE(object);
    BSTR name = nullptr;
    ASSERT_EQ(S_OK, object->get_accName(AccessibleChildId(CHILDID_SELF), &name));
    EXPECT_STREQ(L"Тест", name) << "the object's own name is the window's text";
    SysFreeString(name);
    DestroyWindow(widget);

    LONG count = 0;
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, object->get_accChildCount(&count));
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, object->get_accName(AccessibleChildId(1), &name));
    IDispatch* parent = nullptr;
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, object->get_accParent(&parent));
    LONG left, top, width, height;
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, object->accLocation(&left, &top, &width, &height, AccessibleChildId(1)));
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, object->accDoDefaultAction(AccessibleChildId(2)));
}

} // namespace
