#pragma once
// What the program hands to the shell for its notification-area icon, caught where it calls
// shell32: while a ShellNotifyRecorder lives, this executable's import of Shell_NotifyIconW
// points at a recorder that keeps the last icon, tip and note handed over and passes each call on.
#include <windows.h>
#include <shellapi.h>

class ShellNotifyRecorder {
public:
    ShellNotifyRecorder() { Point(Real(), reinterpret_cast<void*>(&Record)); }
    ~ShellNotifyRecorder() { Point(reinterpret_cast<void*>(&Record), Real()); }
    ShellNotifyRecorder(const ShellNotifyRecorder&) = delete;
    ShellNotifyRecorder& operator=(const ShellNotifyRecorder&) = delete;

    const NOTIFYICONDATAW& Last() const { return last_; }

private:
    static inline NOTIFYICONDATAW last_{};

    static void* Real() { return reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("shell32.dll"), "Shell_NotifyIconW")); }

    static BOOL WINAPI Record(DWORD message, PNOTIFYICONDATAW data) {
        last_ = *data;
        return reinterpret_cast<decltype(&::Shell_NotifyIconW)>(Real())(message, data);
    }

    // Every import slot of this executable that holds from is made to hold to.
    static void Point(void* from, void* to) {
        auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name; ++dll)
            for (auto* slot = reinterpret_cast<void**>(base + dll->FirstThunk); *slot; ++slot) {
                if (*slot != from) continue;
                DWORD was = 0;
                ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &was);
                *slot = to;
                ::VirtualProtect(slot, sizeof *slot, was, &was);
            }
    }
};
