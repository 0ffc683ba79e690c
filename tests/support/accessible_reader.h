// Reading the widget as a screen reader in another process does: through the client
// object its window gives for WM_GETOBJECT. Users link oleacc ole32 oleaut32 uuid.
// Every read runs on a thread of its own in the multithreaded apartment and gives up
// after kWaitMs, so a widget that hangs fails a test instead of hanging it.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <functional>
#include <string>
#include <vector>

#include "test_support.h"

namespace qt {

// One child of the window's client object as a screen reader finds it.
struct AccessibleChild {
    std::wstring name;
    long role = 0;        // ROLE_SYSTEM_...; 0 when it could not be read
    RECT place = {};      // accLocation, in screen coordinates
    std::wstring action;  // default action; empty when it has none
};

// Runs `work` on a new thread in the multithreaded apartment; false when it did not
// end within ms. The thread is then left running, so `work` must own (capture by
// value or shared) everything it touches.
bool RunInApartment(std::function<void()> work, DWORD ms = kWaitMs);

// A child id as IAccessible's calls take it; CHILDID_SELF for the object itself.
VARIANT AccessibleChildId(LONG id);
// The client object of `window` as AccessibleObjectFromWindow gives it; null when
// there is none. Call it from a thread in a COM apartment; release what it gives.
IAccessible* AccessibleClientObject(HWND window);
// Every child of the client object of `window`, in order; empty when it cannot be
// read. A child that is an object of its own is listed blank: the widget's items
// are simple elements.
std::vector<AccessibleChild> ReadAccessibleChildren(HWND window);
// Only their names: the widget's lines and buttons as a screen reader says them.
std::vector<std::wstring> ReadAccessibleTexts(HWND window);
// Whether `texts` read `line`, alone or followed by its details (the scorers after a full stop).
bool ReadsLine(const std::vector<std::wstring>& texts, const std::wstring& line);
// Invokes the default action of the first child named `name`, as a screen reader's
// "press" does: accDoDefaultAction's result, E_INVALIDARG when no child has that
// name, E_NOINTERFACE when the window gives no client object, E_ABORT when the
// widget did not answer in time.
HRESULT InvokeAccessibleChild(HWND window, const std::wstring& name);

} // namespace qt
