// Owners of what the engine acquires: each lets go of its handle, key, GDI object, DC,
// heap block or library when it goes out of scope, so that every path, early returns
// included, releases it. No exceptions and no allocation; an owner can be moved, never
// copied. Release() hands the thing on to whoever keeps it longer (a window, WinHTTP).
#pragma once

#include <windows.h>

// What std::move does, for an owner handed on (the engine uses no C++ library header).
template <class T> T&& Moved(T& value)
{
    return static_cast<T&&>(value);
}

template <class Traits> class Owner {
public:
    typedef typename Traits::Type Type;

    Owner() : value_(Traits::Empty()) {}
    explicit Owner(Type value) : value_(value) {}
    ~Owner() { Reset(); }
    Owner(Owner&& other) : value_(other.Release()) {}
    Owner& operator=(Owner&& other)
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;

    Type Get() const { return value_; }
    Type operator->() const { return value_; } // for the owners of records
    explicit operator bool() const { return value_ != Traits::Empty(); }
    // For a function that fills an out parameter: the old value is let go first.
    Type* Receive()
    {
        Reset();
        return &value_;
    }
    Type Release()
    {
        Type value = value_;
        value_ = Traits::Empty();
        return value;
    }
    void Reset(Type value = Traits::Empty())
    {
        if (value_ != Traits::Empty())
            Traits::Free(value_);
        value_ = value;
    }

private:
    Type value_;
};

struct HandleTraits { // events, threads, processes, duplicated handles
    typedef HANDLE Type;
    static HANDLE Empty() { return nullptr; }
    static void Free(HANDLE handle) { CloseHandle(handle); }
};
struct FileTraits { // CreateFileW's, which fails with INVALID_HANDLE_VALUE
    typedef HANDLE Type;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Free(HANDLE file) { CloseHandle(file); }
};
struct KeyTraits {
    typedef HKEY Type;
    static HKEY Empty() { return nullptr; }
    static void Free(HKEY key) { RegCloseKey(key); }
};
template <class T> struct GdiTraits { // fonts, bitmaps, brushes, pens, regions
    typedef T Type;
    static T Empty() { return nullptr; }
    static void Free(T object) { DeleteObject(object); }
};
struct MemoryDcTraits { // CreateCompatibleDC's
    typedef HDC Type;
    static HDC Empty() { return nullptr; }
    static void Free(HDC dc) { DeleteDC(dc); }
};
struct LibraryTraits {
    typedef HMODULE Type;
    static HMODULE Empty() { return nullptr; }
    static void Free(HMODULE module) { FreeLibrary(module); }
};
struct MenuTraits {
    typedef HMENU Type;
    static HMENU Empty() { return nullptr; }
    static void Free(HMENU menu) { DestroyMenu(menu); }
};
struct GlobalTextTraits { // texts the system hands over to be freed with GlobalFree
    typedef LPWSTR Type;
    static LPWSTR Empty() { return nullptr; }
    static void Free(LPWSTR text) { GlobalFree(text); }
};
template <class T> struct HeapTraits { // the process heap's
    typedef T* Type;
    static T* Empty() { return nullptr; }
    static void Free(T* block) { HeapFree(GetProcessHeap(), 0, block); }
};

typedef Owner<HandleTraits> OwnedHandle;
typedef Owner<FileTraits> OwnedFile;
typedef Owner<KeyTraits> OwnedKey;
template <class T> using OwnedGdi = Owner<GdiTraits<T>>;
typedef Owner<MemoryDcTraits> OwnedMemoryDc;
typedef Owner<LibraryTraits> OwnedLibrary;
typedef Owner<MenuTraits> OwnedMenu;
typedef Owner<GlobalTextTraits> OwnedGlobalText;
template <class T> using OwnedHeap = Owner<HeapTraits<T>>;

// A block of the process heap for one T, zeroed; empty when out of memory.
template <class T> OwnedHeap<T> NewOnHeap(SIZE_T bytes = sizeof(T))
{
    return OwnedHeap<T>(static_cast<T*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes)));
}

// A second handle to the same object, for a worker thread to own.
inline bool DuplicateHandleOf(HANDLE handle, OwnedHandle* copy)
{
    return DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), copy->Receive(), 0, FALSE,
                           DUPLICATE_SAME_ACCESS) != FALSE;
}

// A window's (or the screen's) DC from GetDC, given back with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint to EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC Get() const { return dc_; }
    const RECT& Area() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_;
    HDC dc_;
};

// A DC's selections and settings, saved and put back at the end of the scope.
class SavedDc {
public:
    explicit SavedDc(HDC dc) : dc_(dc), saved_(dc ? SaveDC(dc) : 0) {}
    ~SavedDc()
    {
        if (saved_)
            RestoreDC(dc_, saved_);
    }
    SavedDc(const SavedDc&) = delete;
    SavedDc& operator=(const SavedDc&) = delete;

private:
    HDC dc_;
    int saved_;
};

// An object selected into a DC, the one it replaced selected back at the end, so that
// the object can be deleted and the DC released clean.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject()
    {
        if (old_ && old_ != HGDI_ERROR)
            SelectObject(dc_, old_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};
