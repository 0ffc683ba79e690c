// IAccessible's id is defined here, before any other include reaches oleacc.h:
// mingw-w64's liboleacc.a gives that name to an import thunk, whose code bytes would
// be taken for the id.
#include <windows.h>
#include <ole2.h>
#include <initguid.h>
#include <oleacc.h>

#include "accessible_reader.h"

#include <memory>

namespace qt {

namespace {

DWORD WINAPI RunJob(void* parameter)
{
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    (*work)();
    if (SUCCEEDED(com))
        CoUninitialize();
    return 0;
}

// The children's ids as AccessibleChildren lists them (a client's usual walk); a
// child that is an object of its own, which the widget never gives, gets id -1.
std::vector<LONG> ChildIds(IAccessible* object)
{
    std::vector<LONG> ids;
    LONG count = 0;
    if (FAILED(object->get_accChildCount(&count)) || count <= 0)
        return ids;
    std::vector<VARIANT> children(static_cast<size_t>(count));
    LONG obtained = 0;
    if (FAILED(AccessibleChildren(object, 0, count, children.data(), &obtained)))
        return ids;
    for (LONG i = 0; i < obtained; ++i) {
        ids.push_back(children[i].vt == VT_I4 ? children[i].lVal : -1);
        VariantClear(&children[i]);
    }
    return ids;
}

AccessibleChild ReadChild(IAccessible* object, LONG id)
{
    AccessibleChild child;
    VARIANT which = AccessibleChildId(id);
    BSTR text = nullptr;
    if (SUCCEEDED(object->get_accName(which, &text)) && text)
        child.name = text;
    SysFreeString(text);
    text = nullptr;
    if (SUCCEEDED(object->get_accDefaultAction(which, &text)) && text)
        child.action = text;
    SysFreeString(text);
    VARIANT role;
    VariantInit(&role);
    if (SUCCEEDED(object->get_accRole(which, &role)) && role.vt == VT_I4)
        child.role = role.lVal;
    VariantClear(&role);
    LONG left = 0, top = 0, width = 0, height = 0;
    if (SUCCEEDED(object->accLocation(&left, &top, &width, &height, which)))
        child.place = {left, top, left + width, top + height};
    return child;
}

} // namespace

VARIANT AccessibleChildId(LONG id)
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

IAccessible* AccessibleClientObject(HWND window)
{
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&object))))
        return nullptr;
    return object;
}

bool RunInApartment(std::function<void()> work, DWORD ms)
{
    auto* job = new std::function<void()>(std::move(work));
    HANDLE thread = CreateThread(nullptr, 0, RunJob, job, 0, nullptr);
    if (!thread) {
        delete job;
        return false;
    }
    bool ended = WaitForSingleObject(thread, ms) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
}

std::vector<AccessibleChild> ReadAccessibleChildren(HWND window)
{
    auto children = std::make_shared<std::vector<AccessibleChild>>();
    bool ended = RunInApartment([children, window] {
        IAccessible* object = AccessibleClientObject(window);
        if (!object)
            return;
        for (LONG id : ChildIds(object))
            children->push_back(id > 0 ? ReadChild(object, id) : AccessibleChild());
        object->Release();
    });
    return ended ? *children : std::vector<AccessibleChild>();
}

std::vector<std::wstring> ReadAccessibleTexts(HWND window)
{
    std::vector<std::wstring> texts;
    for (const AccessibleChild& child : ReadAccessibleChildren(window))
        texts.push_back(child.name);
    return texts;
}

HRESULT InvokeAccessibleChild(HWND window, const std::wstring& name)
{
    auto result = std::make_shared<HRESULT>(E_INVALIDARG);
    bool ended = RunInApartment([result, window, name] {
        IAccessible* object = AccessibleClientObject(window);
        if (!object) {
            *result = E_NOINTERFACE;
            return;
        }
        for (LONG id : ChildIds(object)) {
            if (id > 0 && ReadChild(object, id).name == name) {
                *result = object->accDoDefaultAction(AccessibleChildId(id));
                break;
            }
        }
        object->Release();
    });
    return ended ? *result : E_ABORT;
}

bool ReadsLine(const std::vector<std::wstring>& texts, const std::wstring& line)
{
    for (const std::wstring& text : texts) {
        if (text.compare(0, line.size(), line) != 0)
            continue;
        std::wstring rest = text.substr(line.size());
        if (rest.empty() || rest.compare(0, 2, L". ") == 0 || (line.back() == L'.' && rest[0] == L' '))
            return true; // "… 0:1 д.в. Иньеста 116'" has its full stop already
    }
    return false;
}

} // namespace qt
