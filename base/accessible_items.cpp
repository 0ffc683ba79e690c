#include "accessible_items.h"

#include "system_library.h"

namespace {

DWORD NameHash(const WCHAR* name)
{
    DWORD hash = 2166136261u; // FNV-1a
    for (; name && *name; ++name)
        hash = (hash ^ *name) * 16777619u;
    return hash;
}

} // namespace

ComFunctions s_com;

bool LoadComFunctions(void)
{
    if (s_com.lresultFromObject)
        return true;
    HMODULE ole = SystemLibrary(L"ole32.dll");
    HMODULE automation = SystemLibrary(L"oleaut32.dll");
    HMODULE accessibility = SystemLibrary(L"oleacc.dll");
    ComFunctions loaded = {};
    bool all = BindFunction(ole, "CoInitializeEx", &loaded.coInitializeEx) &&
               BindFunction(ole, "CoUninitialize", &loaded.coUninitialize) &&
               BindFunction(ole, "CoDisconnectObject", &loaded.coDisconnectObject) &&
               BindFunction(accessibility, "CreateStdAccessibleObject", &loaded.createStdAccessibleObject) &&
               BindFunction(accessibility, "LresultFromObject", &loaded.lresultFromObject) &&
               BindFunction(automation, "SysAllocString", &loaded.sysAllocString) &&
               BindFunction(automation, "SysAllocStringLen", &loaded.sysAllocStringLen);
    if (all)
        s_com = loaded;
    return all;
}

bool ReadItems(HWND widget, AccessibleItemSource source, ItemList* list)
{
    int wanted = source(widget, nullptr, 0);
    if (wanted <= 0)
        return true;
    list->items = NewOnHeap<AccessibleItem>(sizeof(AccessibleItem) * wanted);
    if (!list->items)
        return false;
    int given = source(widget, list->items.Get(), wanted);
    list->count = given < wanted ? given : wanted;
    return true;
}

bool Remember(const ItemList& list, OwnedHeap<SeenItem>* seen)
{
    seen->Reset();
    if (list.count == 0)
        return true;
    *seen = NewOnHeap<SeenItem>(sizeof(SeenItem) * list.count);
    for (int i = 0; *seen && i < list.count; ++i) {
        seen->Get()[i].nameHash = NameHash(list.items.Get()[i].name);
        seen->Get()[i].button = list.items.Get()[i].button;
    }
    return static_cast<bool>(*seen);
}
