#include "accessibility.h"

#include <ole2.h>
// IAccessible's id is defined here: not every SDK's uuid library holds it.
#include <initguid.h>
#include <oleacc.h>
#include <stddef.h>

namespace {

const WCHAR kObjectProperty[] = L"quornel_accessible";
const WCHAR kPressAction[] = L"Нажать";

// The widget's items as they are at one moment: read afresh for every call, since
// the widget changes its lines whenever it redraws.
struct ItemList {
    AccessibleItem* items = nullptr;
    int count = 0;
    ItemList() = default;
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;
    ~ItemList()
    {
        if (items)
            HeapFree(GetProcessHeap(), 0, items);
    }
};

bool ReadItems(HWND widget, AccessibleItemSource source, ItemList* list)
{
    int wanted = source(widget, nullptr, 0);
    if (wanted <= 0)
        return true;
    list->items = static_cast<AccessibleItem*>(HeapAlloc(GetProcessHeap(), 0, sizeof(AccessibleItem) * wanted));
    if (!list->items)
        return false;
    int given = source(widget, list->items, wanted);
    list->count = given < wanted ? given : wanted;
    return true;
}

// What a notice compares: the kind of each item and a fingerprint of its name, so
// that no copies of the texts are kept.
struct SeenItem {
    DWORD nameHash;
    bool button;
};

DWORD NameHash(const WCHAR* name)
{
    DWORD hash = 2166136261u; // FNV-1a
    for (; name && *name; ++name)
        hash = (hash ^ *name) * 16777619u;
    return hash;
}

SeenItem* Remember(const ItemList& list)
{
    if (list.count == 0)
        return nullptr;
    SeenItem* seen = static_cast<SeenItem*>(HeapAlloc(GetProcessHeap(), 0, sizeof(SeenItem) * list.count));
    for (int i = 0; seen && i < list.count; ++i) {
        seen[i].nameHash = NameHash(list.items[i].name);
        seen[i].button = list.items[i].button;
    }
    return seen;
}

bool IsSelf(const VARIANT& child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

void SetChildId(VARIANT* result, LONG id)
{
    result->vt = VT_I4;
    result->lVal = id;
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

    // Allocated from the process heap: the engine has no C++ runtime to ask. A null
    // result makes the new-expression give null.
    static void* operator new(size_t size) noexcept { return HeapAlloc(GetProcessHeap(), 0, size); }
    static void operator delete(void* memory) { HeapFree(GetProcessHeap(), 0, memory); }

    void SetSource(AccessibleItemSource source) { source_ = source; }

    void TakeFirstLook()
    {
        ItemList list;
        if (ReadItems(widget_, source_, &list))
            Keep(list);
    }

    // After this no call touches the window again; clients still holding the object
    // get CO_E_OBJNOTCONNECTED.
    void Disconnect()
    {
        widget_ = nullptr;
        source_ = nullptr;
        if (standard_)
            standard_->Release();
        standard_ = nullptr;
    }

    // Raises a reorder when lines came, went or changed kind, else a name change for
    // each line whose text changed.
    void ContentChanged()
    {
        ItemList list;
        if (!ReadItems(widget_, source_, &list)) {
            NotifyWinEvent(EVENT_OBJECT_REORDER, widget_, OBJID_CLIENT, CHILDID_SELF);
            return;
        }
        bool reordered = list.count != seenCount_;
        for (int i = 0; !reordered && i < list.count; ++i)
            reordered = list.items[i].button != seen_[i].button;
        if (reordered) {
            NotifyWinEvent(EVENT_OBJECT_REORDER, widget_, OBJID_CLIENT, CHILDID_SELF);
        } else {
            for (int i = 0; i < list.count; ++i) {
                if (NameHash(list.items[i].name) != seen_[i].nameHash)
                    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, widget_, OBJID_CLIENT, i + 1);
            }
        }
        Keep(list);
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: clients of IAccessible call its methods directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        return standard_->get_accParent(parent);
    }

    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        if (!count)
            return E_POINTER;
        ItemList list;
        if (!ReadItems(widget_, source_, &list))
            return E_OUTOFMEMORY;
        *count = list.count;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        if (!object)
            return E_POINTER;
        *object = nullptr;
        ItemList list;
        const AccessibleItem* item = nullptr;
        HRESULT result = FindItem(child, &list, &item);
        if (FAILED(result))
            return result;
        // The lines and arrows are simple elements: the caller asks this object about them.
        return item ? S_FALSE : E_INVALIDARG;
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        if (!name)
            return E_POINTER;
        *name = nullptr;
        ItemList list;
        const AccessibleItem* item = nullptr;
        HRESULT result = FindItem(child, &list, &item);
        if (FAILED(result))
            return result;
        if (item) {
            *name = SysAllocString(item->name ? item->name : L"");
        } else {
            int length = GetWindowTextLengthW(widget_);
            *name = SysAllocStringLen(nullptr, static_cast<UINT>(length));
            if (*name)
                GetWindowTextW(widget_, *name, length + 1);
        }
        return *name ? S_OK : E_OUTOFMEMORY;
    }

    // Texts the items do not have: the window's come from the standard object.
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        return IsSelf(child) ? standard_->get_accValue(child, value) : NoItemText(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        return IsSelf(child) ? standard_->get_accDescription(child, description) : NoItemText(child, description);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        return IsSelf(child) ? standard_->get_accHelp(child, help) : NoItemText(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        return IsSelf(child) ? standard_->get_accKeyboardShortcut(child, shortcut) : NoItemText(child, shortcut);
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        if (!role)
            return E_POINTER;
        ItemList list;
        const AccessibleItem* item = nullptr;
        HRESULT result = FindItem(child, &list, &item);
        if (FAILED(result))
            return result;
        LONG value = ROLE_SYSTEM_CLIENT;
        if (item)
            value = item->button ? ROLE_SYSTEM_PUSHBUTTON : ROLE_SYSTEM_STATICTEXT;
        SetChildId(role, value);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        if (!state)
            return E_POINTER;
        if (IsSelf(child))
            return standard_->get_accState(child, state);
        ItemList list;
        const AccessibleItem* item = nullptr;
        HRESULT result = FindItem(child, &list, &item);
        if (FAILED(result))
            return result;
        LONG value = item->button ? 0 : STATE_SYSTEM_READONLY;
        if (!IsWindowVisible(widget_))
            value |= STATE_SYSTEM_INVISIBLE;
        SetChildId(state, value);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        if (!file || !topic)
            return E_POINTER;
        if (IsSelf(child))
            return standard_->get_accHelpTopic(file, child, topic);
        ItemList list;
        const AccessibleItem* item = nullptr;
        HRESULT result = FindItem(child, &list, &item);
        if (FAILED(result))
            return result;
        *topic = 0;
        *file = nullptr;
        return S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        return standard_->get_accFocus(focus);
    }

    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        return standard_->get_accSelection(selection);
    }

    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        if (!action)
            return E_POINTER;
        *action = nullptr;
        if (IsSelf(child))
            return standard_->get_accDefaultAction(child, action);
        ItemList list;
        const AccessibleItem* item = nullptr;
        HRESULT result = FindItem(child, &list, &item);
        if (FAILED(result))
            return result;
        if (!item->button)
            return DISP_E_MEMBERNOTFOUND;
        *action = SysAllocString(kPressAction);
        return *action ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        if (IsSelf(child))
            return standard_->accSelect(flags, child);
        ItemList list;
        const AccessibleItem* item = nullptr;
        HRESULT result = FindItem(child, &list, &item);
        // The widget never takes the focus, so its items are neither focusable nor selectable.
        return FAILED(result) ? result : DISP_E_MEMBERNOTFOUND;
    }

    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        if (!left || !top || !width || !height)
            return E_POINTER;
        if (IsSelf(child))
            return standard_->accLocation(left, top, width, height, child);
        ItemList list;
        const AccessibleItem* item = nullptr;
        HRESULT result = FindItem(child, &list, &item);
        if (FAILED(result))
            return result;
        RECT bounds = item->bounds;
        MapWindowPoints(widget_, nullptr, reinterpret_cast<POINT*>(&bounds), 2);
        *left = bounds.left;
        *top = bounds.top;
        *width = bounds.right - bounds.left;
        *height = bounds.bottom - bounds.top;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        if (!end)
            return E_POINTER;
        end->vt = VT_EMPTY;
        ItemList list;
        const AccessibleItem* item = nullptr;
        HRESULT result = FindItem(start, &list, &item);
        if (FAILED(result))
            return result;
        LONG from = start.lVal;
        LONG to = 0;
        if (!item) {
            if (direction == NAVDIR_FIRSTCHILD)
                to = 1;
            else if (direction == NAVDIR_LASTCHILD)
                to = list.count;
            else // the window's neighbours: the standard object knows them
                return standard_->accNavigate(direction, start, end);
        } else if (direction == NAVDIR_NEXT) {
            to = from + 1;
        } else if (direction == NAVDIR_PREVIOUS) {
            to = from - 1;
        } else if (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD) {
            return E_INVALIDARG; // a simple element has no children
        } else {
            return DISP_E_MEMBERNOTFOUND; // no spatial order among the items
        }
        if (to < 1 || to > list.count)
            return S_FALSE;
        SetChildId(end, to);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* found) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        if (!found)
            return E_POINTER;
        found->vt = VT_EMPTY;
        POINT point = {x, y};
        ScreenToClient(widget_, &point);
        ItemList list;
        if (!ReadItems(widget_, source_, &list))
            return E_OUTOFMEMORY;
        for (int i = 0; i < list.count; ++i) {
            if (PtInRect(&list.items[i].bounds, point)) {
                SetChildId(found, i + 1);
                return S_OK;
            }
        }
        RECT client;
        GetClientRect(widget_, &client);
        if (!PtInRect(&client, point))
            return S_FALSE;
        SetChildId(found, CHILDID_SELF);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        if (!widget_)
            return CO_E_OBJNOTCONNECTED;
        if (IsSelf(child))
            return standard_->accDoDefaultAction(child);
        ItemList list;
        const AccessibleItem* item = nullptr;
        HRESULT result = FindItem(child, &list, &item);
        if (FAILED(result))
            return result;
        if (!item->button)
            return DISP_E_MEMBERNOTFOUND;
        // Posted, not sent: the client's call returns before the widget redraws, as
        // with a click.
        return PostMessageW(widget_, WM_COMMAND, MAKEWPARAM(item->command, 0), 0) ? S_OK : E_FAIL;
    }

    // Setting names and values is obsolete and nothing here is editable.
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override
    {
        return widget_ ? E_NOTIMPL : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override
    {
        return widget_ ? E_NOTIMPL : CO_E_OBJNOTCONNECTED;
    }

private:
    ~WidgetAccessible()
    {
        Disconnect();
        if (seen_)
            HeapFree(GetProcessHeap(), 0, seen_);
    }

    // Reads the items and finds the one `child` names: *item stays null for the
    // object itself; E_INVALIDARG for an id that names nothing.
    HRESULT FindItem(const VARIANT& child, ItemList* list, const AccessibleItem** item)
    {
        if (child.vt != VT_I4)
            return E_INVALIDARG;
        if (!ReadItems(widget_, source_, list))
            return E_OUTOFMEMORY;
        if (child.lVal == CHILDID_SELF)
            return S_OK;
        if (child.lVal < 1 || child.lVal > list->count)
            return E_INVALIDARG;
        *item = &list->items[child.lVal - 1];
        return S_OK;
    }

    HRESULT NoItemText(const VARIANT& child, BSTR* text)
    {
        if (!text)
            return E_POINTER;
        *text = nullptr;
        ItemList list;
        const AccessibleItem* item = nullptr;
        HRESULT result = FindItem(child, &list, &item);
        return FAILED(result) ? result : S_FALSE;
    }

    void Keep(const ItemList& list)
    {
        SeenItem* seen = Remember(list);
        if (list.count > 0 && !seen)
            return; // out of memory: the next notice compares with the older look
        if (seen_)
            HeapFree(GetProcessHeap(), 0, seen_);
        seen_ = seen;
        seenCount_ = list.count;
    }

    LONG references_ = 1;
    HWND widget_;
    AccessibleItemSource source_;
    IAccessible* standard_;
    SeenItem* seen_ = nullptr;
    int seenCount_ = 0;
};

WidgetAccessible* ObjectOf(HWND widget)
{
    return static_cast<WidgetAccessible*>(GetPropW(widget, kObjectProperty));
}

// Made on the first request. Clients in other processes reach it through COM: a
// single-threaded apartment brings their calls to this thread through its message
// loop, where the widget and its items live. The apartment is held while the object
// is attached.
WidgetAccessible* Connect(HWND widget, AccessibleItemSource source)
{
    // S_FALSE (already initialised) is balanced too. A thread already in the
    // multithreaded apartment would take calls on other threads: the window's
    // default answer is given then.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return nullptr;
    IAccessible* standard = nullptr;
    WidgetAccessible* object = nullptr;
    if (SUCCEEDED(CreateStdAccessibleObject(widget, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&standard)))) {
        object = new WidgetAccessible(widget, source, standard);
        if (!object)
            standard->Release();
    }
    if (object && !SetPropW(widget, kObjectProperty, object)) {
        object->Release();
        object = nullptr;
    }
    if (!object) {
        CoUninitialize();
        return nullptr;
    }
    object->TakeFirstLook();
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
    return LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(object));
}

void NotifyAccessibleContentChanged(HWND widget)
{
    // Without an object no client has read the lines, so no client needs to hear.
    if (WidgetAccessible* object = ObjectOf(widget))
        object->ContentChanged();
}

void ReleaseAccessibility(HWND widget)
{
    WidgetAccessible* object = static_cast<WidgetAccessible*>(RemovePropW(widget, kObjectProperty));
    if (!object)
        return;
    object->Disconnect();
    // Clients in other processes lose their connection now; their later calls fail in
    // COM and never reach the object.
    CoDisconnectObject(static_cast<IAccessible*>(object), 0);
    object->Release();
    CoUninitialize();
}
