#pragma once
// Move-only owners for Win32 handles. Each kind names its own "no handle" value and release
// call, so a Toolhelp snapshot (INVALID_HANDLE_VALUE on failure) and a process (NULL on
// failure) cannot be mixed up.
#include <windows.h>

#include <utility>

namespace platform {

template <class Traits>
class UniqueHandle {
public:
    using handle_type = typename Traits::handle_type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(handle_type h) noexcept : h_(h) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    handle_type get() const noexcept { return h_; }
    bool valid() const noexcept { return h_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // For out-parameters of the API: releases what is held and hands out the slot.
    handle_type* put() noexcept {
        reset();
        return &h_;
    }
    handle_type release() noexcept { return std::exchange(h_, Traits::invalid()); }
    void reset(handle_type h = Traits::invalid()) noexcept {
        if (valid()) Traits::close(h_);
        h_ = h;
    }

private:
    handle_type h_ = Traits::invalid();
};

struct KernelHandleTraits {  // processes, threads: NULL when missing
    using handle_type = HANDLE;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { ::CloseHandle(h); }
};

struct FileHandleTraits {  // snapshots, files: INVALID_HANDLE_VALUE when missing
    using handle_type = HANDLE;
    static handle_type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(handle_type h) noexcept { ::CloseHandle(h); }
};

struct RegKeyTraits {
    using handle_type = HKEY;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { ::RegCloseKey(h); }
};

template <class Object>  // fonts, bitmaps, brushes
struct GdiObjectTraits {
    using handle_type = Object;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { ::DeleteObject(h); }
};

struct MenuTraits {  // a menu no window owns
    using handle_type = HMENU;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { ::DestroyMenu(h); }
};

struct MemoryDcTraits {  // from CreateCompatibleDC
    using handle_type = HDC;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { ::DeleteDC(h); }
};

struct IconTraits {  // from CreateIconIndirect, ImageList_GetIcon
    using handle_type = HICON;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { ::DestroyIcon(h); }
};

using Handle = UniqueHandle<KernelHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using SnapshotHandle = UniqueHandle<FileHandleTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;
using Font = UniqueHandle<GdiObjectTraits<HFONT>>;
using Bitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using Brush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using Pen = UniqueHandle<GdiObjectTraits<HPEN>>;
using MemoryDc = UniqueHandle<MemoryDcTraits>;
using Menu = UniqueHandle<MenuTraits>;
using Icon = UniqueHandle<IconTraits>;

// A window's device context (the screen's for no window), released when it goes.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    ~WindowDc() { ::ReleaseDC(window_, dc_); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

}  // namespace platform
