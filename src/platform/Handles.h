#pragma once
// Owners for the kernel, registry, GDI and module handles the program opens.
// Each releases its handle on every path; none can be copied, all can be moved.
#include <windows.h>
#include <utility>

namespace ta {

template <typename Traits>
class UniqueHandle {
public:
    using handle_type = typename Traits::handle_type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(handle_type h) noexcept : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    handle_type get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return Traits::valid(h_); }
    handle_type release() noexcept { return std::exchange(h_, Traits::invalid()); }
    void reset(handle_type h = Traits::invalid()) noexcept {
        handle_type old = std::exchange(h_, h);
        if (Traits::valid(old)) Traits::close(old);
    }
    // For out-parameters of creating calls: releases what is held and hands out the slot.
    handle_type* put() noexcept {
        reset();
        return &h_;
    }

private:
    handle_type h_ = Traits::invalid();
};

namespace handle_traits {
struct Kernel {  // CreateProcess, CreateThread, OpenProcess, CreateToolhelp32Snapshot, CreateFile
    using handle_type = HANDLE;
    static HANDLE invalid() noexcept { return nullptr; }
    static bool valid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct FileHandle : Kernel {  // CreateFile answers INVALID_HANDLE_VALUE on failure
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
};
struct Find {
    using handle_type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool valid(HANDLE h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void close(HANDLE h) noexcept { ::FindClose(h); }
};
struct RegKey {
    using handle_type = HKEY;
    static HKEY invalid() noexcept { return nullptr; }
    static bool valid(HKEY h) noexcept { return h != nullptr; }
    static void close(HKEY h) noexcept { ::RegCloseKey(h); }
};
struct Module {
    using handle_type = HMODULE;
    static HMODULE invalid() noexcept { return nullptr; }
    static bool valid(HMODULE h) noexcept { return h != nullptr; }
    static void close(HMODULE h) noexcept { ::FreeLibrary(h); }
};
struct GdiObject {
    using handle_type = HGDIOBJ;
    static HGDIOBJ invalid() noexcept { return nullptr; }
    static bool valid(HGDIOBJ h) noexcept { return h != nullptr; }
    static void close(HGDIOBJ h) noexcept { ::DeleteObject(h); }
};
struct MemoryDC {
    using handle_type = HDC;
    static HDC invalid() noexcept { return nullptr; }
    static bool valid(HDC h) noexcept { return h != nullptr; }
    static void close(HDC h) noexcept { ::DeleteDC(h); }
};
struct Icon {
    using handle_type = HICON;
    static HICON invalid() noexcept { return nullptr; }
    static bool valid(HICON h) noexcept { return h != nullptr; }
    static void close(HICON h) noexcept { ::DestroyIcon(h); }
};
struct GlobalMemory {
    using handle_type = HGLOBAL;
    static HGLOBAL invalid() noexcept { return nullptr; }
    static bool valid(HGLOBAL h) noexcept { return h != nullptr; }
    static void close(HGLOBAL h) noexcept { ::GlobalFree(h); }
};
}  // namespace handle_traits

using KernelHandle = UniqueHandle<handle_traits::Kernel>;
using FileHandle = UniqueHandle<handle_traits::FileHandle>;
using FindHandle = UniqueHandle<handle_traits::Find>;
using RegKey = UniqueHandle<handle_traits::RegKey>;
using ModuleHandle = UniqueHandle<handle_traits::Module>;
using GdiObject = UniqueHandle<handle_traits::GdiObject>;
using MemoryDC = UniqueHandle<handle_traits::MemoryDC>;
using IconHandle = UniqueHandle<handle_traits::Icon>;
using GlobalMemory = UniqueHandle<handle_traits::GlobalMemory>;

// A window's device context, released with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) noexcept : hwnd_(hwnd), hdc_(::GetDC(hwnd)) {}
    ~WindowDC() {
        if (hdc_) ::ReleaseDC(hwnd_, hdc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const noexcept { return hdc_; }
    explicit operator bool() const noexcept { return hdc_ != nullptr; }

private:
    HWND hwnd_;
    HDC hdc_;
};

// Selects a GDI object into a DC for one scope and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC hdc, HGDIOBJ obj) noexcept : hdc_(hdc), old_(obj ? ::SelectObject(hdc, obj) : nullptr) {}
    ~SelectedObject() {
        if (old_) ::SelectObject(hdc_, old_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC hdc_;
    HGDIOBJ old_;
};

}  // namespace ta
