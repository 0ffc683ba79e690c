// What the widget's client object stands on: COM and the accessibility library,
// loaded on a screen reader's first request, and the widget's items, read afresh for
// every call and remembered only as fingerprints.
#pragma once

#include <windows.h>

#include <ole2.h>
#include <oleacc.h>

#include "accessibility.h"
#include "owners.h"

// COM and the accessibility library are loaded on a screen reader's first request,
// not with the engine: most starts never meet one, and under Wine the three DLLs
// cost every start some milliseconds. Once loaded they stay, since COM may still
// release objects of theirs. Main thread only.
struct ComFunctions {
    HRESULT(WINAPI* coInitializeEx)(LPVOID, DWORD);
    void(WINAPI* coUninitialize)(void);
    HRESULT(WINAPI* coDisconnectObject)(LPUNKNOWN, DWORD);
    HRESULT(WINAPI* createStdAccessibleObject)(HWND, LONG, REFIID, void**);
    LRESULT(WINAPI* lresultFromObject)(REFIID, WPARAM, LPUNKNOWN);
    BSTR(WINAPI* sysAllocString)(const OLECHAR*);
    BSTR(WINAPI* sysAllocStringLen)(const OLECHAR*, UINT);
};
extern ComFunctions s_com; // main thread only
// True once every function is there (the first call loads them).
bool LoadComFunctions(void);

// The widget's items as they are at one moment: read afresh for every call, since
// the widget changes its lines whenever it redraws.
struct ItemList {
    OwnedHeap<AccessibleItem> items;
    int count = 0;
    const AccessibleItem* item = nullptr; // the one a call is about; null for the object itself
};
// False when out of memory.
bool ReadItems(HWND widget, AccessibleItemSource source, ItemList* list);

// What a notice compares: each item's kind and a fingerprint of its name, so that
// no copies of the texts are kept.
struct SeenItem {
    DWORD nameHash;
    bool button;
};
// False when out of memory.
bool Remember(const ItemList& list, OwnedHeap<SeenItem>* seen);
