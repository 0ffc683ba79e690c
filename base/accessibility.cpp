#include "accessibility.h"

#include <ole2.h>
// IAccessible's id is defined here: not every SDK's uuid library holds it, and
// mingw-w64's liboleacc.a gives its name to an import thunk.
#include <initguid.h>
#include <oleacc.h>
#include <stddef.h>

#include "accessible_items.h"
#include "widget_texts.h"

namespace {

const WCHAR kObjectProperty[] = L"quornel_accessible";

void SetI4(VARIANT* result, LONG value)
{
    result->vt = VT_I4;
    result->lVal = value;
}

// The client object of one widget window. Its children are simple elements (ids
// 1..n, no objects of their own); what belongs to the window as a whole comes from
// the system's standard client object.
class WidgetAccessible final : public IAccessible {
public:
    WidgetAccessible(HWND widget, AccessibleItemSource source, IAccessible* standard)
        : widget_(widget), source_(source), standard_(standard)
    {
    }

    // From the process heap: the engine has no C++ runtime to ask. noexcept makes a
    // failed allocation give null from the new-expression.
    static void* operator new(size_t size) noexcept { return HeapAlloc(GetProcessHeap(), 0, size); }
    static void operator delete(void* memory) { HeapFree(GetProcessHeap(), 0, memory); }

    void SetSource(AccessibleItemSource source) { source_ = source; }

    // After this no call touches the window again; a client still holding the object
    // gets CO_E_OBJNOTCONNECTED.
    void Disconnect()
    {
        widget_ = nullptr;
        source_ = nullptr;
        if (standard_)
            standard_->Release();
        standard_ = nullptr;
    }

    // A reorder when items came, went or changed kind; else a name change for each
    // item whose text changed. The first look only remembers.
    void ContentChanged(bool firstLook)
    {
        ItemList list;
        OwnedHeap<SeenItem> seen;
        if (!ReadItems(widget_, source_, &list) || !Remember(list, &seen)) {
            if (!firstLook)
                NotifyWinEvent(EVENT_OBJECT_REORDER, widget_, OBJID_CLIENT, CHILDID_SELF);
            return; // out of memory: the next notice compares with the older look
        }
        bool reordered = list.count != seenCount_;
        for (int i = 0; i < list.count && !reordered; ++i)
            reordered = seen.Get()[i].button != seen_.Get()[i].button;
        for (int i = 0; i < list.count && !reordered && !firstLook; ++i) {
            if (seen.Get()[i].nameHash != seen_.Get()[i].nameHash)
                NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, widget_, OBJID_CLIENT, i + 1);
        }
        if (reordered && !firstLook)
            NotifyWinEvent(EVENT_OBJECT_REORDER, widget_, OBJID_CLIENT, CHILDID_SELF);
        seen_ = Moved(seen);
        seenCount_ = list.count;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, IID_IAccessible))
            return E_NOINTERFACE;
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: screen readers call IAccessible's methods directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible: the window as a whole
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        return widget_ ? standard_->get_accParent(parent) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override
    {
        return widget_ ? standard_->get_accFocus(focus) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        return widget_ ? standard_->get_accSelection(selection) : CO_E_OBJNOTCONNECTED;
    }

    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override
    {
        if (!count)
            return E_POINTER;
        ItemList list;
        HRESULT result = Find(SelfId(), &list);
        if (SUCCEEDED(result))
            *count = list.count;
        return result;
    }

    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* found) override
    {
        if (!found)
            return E_POINTER;
        found->vt = VT_EMPTY;
        ItemList list;
        HRESULT result = Find(SelfId(), &list);
        if (FAILED(result))
            return result;
        POINT point = {x, y};
        ScreenToClient(widget_, &point);
        for (int i = 0; i < list.count; ++i) {
            if (PtInRect(&list.items.Get()[i].bounds, point)) {
                SetI4(found, i + 1);
                return S_OK;
            }
        }
        RECT client;
        GetClientRect(widget_, &client);
        if (!PtInRect(&client, point))
            return S_FALSE;
        SetI4(found, CHILDID_SELF);
        return S_OK;
    }

    // IAccessible: the object itself or one of its items
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        ItemList list;
        HRESULT result = Find(child, &list);
        if (FAILED(result))
            return result;
        // The items are simple elements: the caller asks this object about them.
        return list.item ? S_FALSE : E_INVALIDARG;
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        if (!name)
            return E_POINTER;
        *name = nullptr;
        ItemList list;
        HRESULT result = Find(child, &list);
        if (FAILED(result))
            return result;
        if (list.item) {
            *name = s_com.sysAllocString(list.item->name ? list.item->name : L"");
        } else {
            int length = GetWindowTextLengthW(widget_);
            *name = s_com.sysAllocStringLen(nullptr, static_cast<UINT>(length));
            if (*name)
                GetWindowTextW(widget_, *name, length + 1);
        }
        return *name ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        if (!role)
            return E_POINTER;
        ItemList list;
        HRESULT result = Find(child, &list);
        if (FAILED(result))
            return result;
        LONG value = ROLE_SYSTEM_CLIENT;
        if (list.item)
            value = list.item->button ? ROLE_SYSTEM_PUSHBUTTON : ROLE_SYSTEM_STATICTEXT;
        SetI4(role, value);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        if (!state)
            return E_POINTER;
        ItemList list;
        HRESULT result = Find(child, &list);
        if (FAILED(result) || !list.item)
            return FAILED(result) ? result : standard_->get_accState(child, state);
        LONG value = list.item->button ? 0 : STATE_SYSTEM_READONLY;
        if (!IsWindowVisible(widget_))
            value |= STATE_SYSTEM_INVISIBLE;
        SetI4(state, value);
        return S_OK;
    }

    // Values, descriptions, help and shortcuts: the window's come from the standard
    // object; the items have none.
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        HRESULT result = ItemHasNoText(child, value);
        return result == S_OK ? standard_->get_accValue(child, value) : result;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override
    {
        HRESULT result = ItemHasNoText(child, description);
        return result == S_OK ? standard_->get_accDescription(child, description) : result;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override
    {
        HRESULT result = ItemHasNoText(child, help);
        return result == S_OK ? standard_->get_accHelp(child, help) : result;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override
    {
        HRESULT result = ItemHasNoText(child, shortcut);
        return result == S_OK ? standard_->get_accKeyboardShortcut(child, shortcut) : result;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override
    {
        if (!topic)
            return E_POINTER;
        *topic = 0;
        HRESULT result = ItemHasNoText(child, file);
        return result == S_OK ? standard_->get_accHelpTopic(file, child, topic) : result;
    }

    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        if (!action)
            return E_POINTER;
        *action = nullptr;
        ItemList list;
        HRESULT result = Find(child, &list);
        if (FAILED(result) || !list.item)
            return FAILED(result) ? result : standard_->get_accDefaultAction(child, action);
        if (!list.item->button)
            return DISP_E_MEMBERNOTFOUND;
        *action = s_com.sysAllocString(kPressAction);
        return *action ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        ItemList list;
        HRESULT result = Find(child, &list);
        if (FAILED(result) || !list.item)
            return FAILED(result) ? result : standard_->accDoDefaultAction(child);
        if (!list.item->button)
            return DISP_E_MEMBERNOTFOUND;
        // Posted, not sent: the reader's call returns before the widget redraws, as
        // after a click.
        return PostMessageW(widget_, WM_COMMAND, MAKEWPARAM(list.item->command, 0), 0) ? S_OK : E_FAIL;
    }

    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override
    {
        ItemList list;
        HRESULT result = Find(child, &list);
        if (FAILED(result) || !list.item)
            return FAILED(result) ? result : standard_->accSelect(flags, child);
        return DISP_E_MEMBERNOTFOUND; // the widget never takes the focus, nor do its items
    }

    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override
    {
        if (!left || !top || !width || !height)
            return E_POINTER;
        ItemList list;
        HRESULT result = Find(child, &list);
        if (FAILED(result) || !list.item)
            return FAILED(result) ? result : standard_->accLocation(left, top, width, height, child);
        RECT bounds = list.item->bounds;
        MapWindowPoints(widget_, nullptr, reinterpret_cast<POINT*>(&bounds), 2);
        *left = bounds.left;
        *top = bounds.top;
        *width = bounds.right - bounds.left;
        *height = bounds.bottom - bounds.top;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override
    {
        if (!end)
            return E_POINTER;
        end->vt = VT_EMPTY;
        ItemList list;
        HRESULT result = Find(start, &list);
        if (FAILED(result))
            return result;
        LONG to = 0;
        if (!list.item && direction == NAVDIR_FIRSTCHILD)
            to = 1;
        else if (!list.item && direction == NAVDIR_LASTCHILD)
            to = list.count;
        else if (!list.item) // the window's neighbours
            return standard_->accNavigate(direction, start, end);
        else if (direction == NAVDIR_NEXT)
            to = start.lVal + 1;
        else if (direction == NAVDIR_PREVIOUS)
            to = start.lVal - 1;
        else // a simple element has no children, and the items have no spatial order
            return direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD ? E_INVALIDARG
                                                                                   : DISP_E_MEMBERNOTFOUND;
        if (to < 1 || to > list.count)
            return S_FALSE;
        SetI4(end, to);
        return S_OK;
    }

    // Names and values cannot be set: nothing here is editable.
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override
    {
        return widget_ ? E_NOTIMPL : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override
    {
        return widget_ ? E_NOTIMPL : CO_E_OBJNOTCONNECTED;
    }

private:
    ~WidgetAccessible() { Disconnect(); }

    static VARIANT SelfId()
    {
        VARIANT self;
        SetI4(&self, CHILDID_SELF);
        return self;
    }

    // Every call on the object or an item starts here: checks the connection, reads
    // the items and finds the one `child` names (list->item stays null for the
    // object itself).
    HRESULT Find(const VARIANT& child, ItemList* list)
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        if (child.vt != VT_I4)
            return E_INVALIDARG;
        if (!ReadItems(widget_, source_, list))
            return E_OUTOFMEMORY;
        if (child.lVal == CHILDID_SELF)
            return S_OK;
        if (child.lVal < 1 || child.lVal > list->count)
            return E_INVALIDARG;
        list->item = &list->items.Get()[child.lVal - 1];
        return S_OK;
    }

    // S_FALSE and no text for an item; S_OK when the object itself is asked.
    HRESULT ItemHasNoText(const VARIANT& child, BSTR* text)
    {
        if (!text)
            return E_POINTER;
        *text = nullptr;
        ItemList list;
        HRESULT result = Find(child, &list);
        return FAILED(result) || !list.item ? result : S_FALSE;
    }

    LONG references_ = 1;
    HWND widget_;
    AccessibleItemSource source_;
    IAccessible* standard_;
    OwnedHeap<SeenItem> seen_;
    int seenCount_ = 0;
};

WidgetAccessible* ObjectOf(HWND widget)
{
    return static_cast<WidgetAccessible*>(GetPropW(widget, kObjectProperty));
}

// Made on the first request. Readers in other processes reach it through COM: a
// single-threaded apartment brings their calls to this thread through its message
// loop, where the widget and its items live. The apartment is held while the object
// is attached.
WidgetAccessible* Connect(HWND widget, AccessibleItemSource source)
{
    // S_FALSE (already initialised) is balanced too. A thread already in the
    // multithreaded apartment would take calls on other threads: the window's
    // default answer is given then.
    if (!LoadComFunctions() || FAILED(s_com.coInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return nullptr;
    IAccessible* standard = nullptr;
    WidgetAccessible* object = nullptr;
    void** standardOut = reinterpret_cast<void**>(&standard);
    if (SUCCEEDED(s_com.createStdAccessibleObject(widget, OBJID_CLIENT, IID_IAccessible, standardOut))) {
        object = new WidgetAccessible(widget, source, standard);
        if (!object)
            standard->Release();
    }
    if (object && !SetPropW(widget, kObjectProperty, object)) {
        object->Release();
        object = nullptr;
    }
    if (!object) {
        s_com.coUninitialize();
        return nullptr;
    }
    object->ContentChanged(true);
    return object;
}

} // namespace

LRESULT AnswerAccessibilityRequest(HWND widget, WPARAM wParam, LPARAM lParam, AccessibleItemSource source)
{
    // The object id travels in the low 32 bits, sign-extended or not.
    if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT))
        return DefWindowProcW(widget, WM_GETOBJECT, wParam, lParam);
    WidgetAccessible* object = ObjectOf(widget);
    if (object)
        object->SetSource(source);
    else
        object = Connect(widget, source);
    if (!object)
        return DefWindowProcW(widget, WM_GETOBJECT, wParam, lParam);
    return s_com.lresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(object));
}

void NotifyAccessibleContentChanged(HWND widget)
{
    // Without an object no reader has seen the items, so none needs to hear.
    if (WidgetAccessible* object = ObjectOf(widget))
        object->ContentChanged(false);
}

void ReleaseAccessibility(HWND widget)
{
    WidgetAccessible* object = static_cast<WidgetAccessible*>(RemovePropW(widget, kObjectProperty));
    if (!object)
        return;
    object->Disconnect();
    // Readers in other processes lose their connection now: their later calls fail in
    // COM and never reach the object.
    s_com.coDisconnectObject(static_cast<IAccessible*>(object), 0);
    object->Release();
    s_com.coUninitialize();
}
