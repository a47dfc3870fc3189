// Tells an end-to-end script what a person sees in another program's top-level window: its
// controls (class, state, centre on the screen, text) and the rows of its report lists, which
// X tools cannot read. Usage: window_probe "<exact caption>". One tab-separated line per thing:
//   window   <left> <top> <width> <height>
//   control  <class> <enabled|disabled> <visible|hidden> <x> <y> <text>
//   row      <index> <selected|-> <x> <y> <column texts...>
//   image    <index> <image index of the row>
// window_probe --tray instead: each notification-area icon of the desktop, and the last note the
// manager handed to the system (the text of its notes window):
//   icon     <x> <y>
//   note     <title: text>
// window_probe --menu instead: each open menu (a window of its own):
//   menu     <left> <top> <width> <height>
// window_probe --tips instead: each tip shown on the screen:
//   tip      <text>
// Exit code 0, or 2 when no visible window has that caption.
#include "platform/handles.h"

#include <windows.h>
#include <commctrl.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

namespace {

struct RemoteMemory {  // a block in another process, freed with it
    HANDLE process;
    void* address;
    RemoteMemory(HANDLE p, SIZE_T size)
        : process(p), address(::VirtualAllocEx(p, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    ~RemoteMemory() {
        if (address) ::VirtualFreeEx(process, address, 0, MEM_RELEASE);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;
};

// The text a control shows: an edit's content, a drop-down list's selected item. Asked with a
// time limit, so a program that is busy cannot hold the probe.
std::string TextOf(HWND hwnd) {
    char text[512] = "";
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                               &copied))
        ::GetWindowTextA(hwnd, text, sizeof text);
    std::string s = text;
    for (char& c : s)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';  // one line per thing
    return s;
}

// The list's item text, read through a buffer in the list's own process.
std::string ItemText(HWND list, HANDLE process, int item, int column) {
    constexpr SIZE_T TextSize = 512;
    RemoteMemory memory(process, sizeof(LVITEMA) + TextSize);
    if (!memory.address) return "?";
    char* remoteText = static_cast<char*>(memory.address) + sizeof(LVITEMA);
    LVITEMA request{};
    request.iSubItem = column;
    request.pszText = remoteText;
    request.cchTextMax = TextSize;
    char text[TextSize] = "";
    if (!::WriteProcessMemory(process, memory.address, &request, sizeof request, nullptr)) return "?";
    ::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(memory.address));
    if (!::ReadProcessMemory(process, remoteText, text, TextSize - 1, nullptr)) return "?";
    return text;
}

// The item's image index (the link state icon), or -1.
int ItemImage(HWND list, HANDLE process, int item) {
    RemoteMemory memory(process, sizeof(LVITEMA));
    LVITEMA request{};
    request.mask = LVIF_IMAGE;
    request.iItem = item;
    request.iImage = -1;
    if (!memory.address || !::WriteProcessMemory(process, memory.address, &request, sizeof request, nullptr)) return -1;
    ::SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(memory.address));
    if (!::ReadProcessMemory(process, memory.address, &request, sizeof request, nullptr)) return -1;
    return request.iImage;
}

POINT ItemCentre(HWND list, HANDLE process, int item) {
    RemoteMemory memory(process, sizeof(RECT));
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    if (memory.address && ::WriteProcessMemory(process, memory.address, &rect, sizeof rect, nullptr)) {
        ::SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(memory.address));
        ::ReadProcessMemory(process, memory.address, &rect, sizeof rect, nullptr);
    }
    POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ::ClientToScreen(list, &centre);
    return centre;
}

void PrintRows(HWND list) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(list, &pid);
    platform::Handle process(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (!process) return;
    HWND header = reinterpret_cast<HWND>(::SendMessageA(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    const int rows = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < rows; ++i) {
        const bool selected = ::SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_SELECTED) != 0;
        const POINT centre = ItemCentre(list, process.get(), i);
        std::printf("row\t%d\t%s\t%ld\t%ld", i, selected ? "selected" : "-", centre.x, centre.y);
        for (int c = 0; c < columns; ++c) std::printf("\t%s", ItemText(list, process.get(), i, c).c_str());
        std::printf("\n");
        std::printf("image\t%d\t%d\n", i, ItemImage(list, process.get(), i));
    }
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
    char className[64] = "";
    ::GetClassNameA(control, className, sizeof className);
    RECT r;
    ::GetWindowRect(control, &r);
    std::printf("control\t%s\t%s\t%s\t%ld\t%ld\t%s\n", className, ::IsWindowEnabled(control) ? "enabled" : "disabled",
                ::IsWindowVisible(control) ? "visible" : "hidden", (r.left + r.right) / 2, (r.top + r.bottom) / 2,
                TextOf(control).c_str());
    if (lstrcmpiA(className, WC_LISTVIEWA) == 0) PrintRows(control);
    return TRUE;
}

struct Search {
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchVisible(HWND hwnd, LPARAM lp) {
    auto& search = *reinterpret_cast<Search*>(lp);
    if (!::IsWindowVisible(hwnd) || TextOf(hwnd) != search.caption) return TRUE;
    search.found = hwnd;
    return FALSE;
}

BOOL CALLBACK PrintIcon(HWND icon, LPARAM) {
    char className[64] = "";
    ::GetClassNameA(icon, className, sizeof className);
    RECT r;
    ::GetWindowRect(icon, &r);
    if (lstrcmpA(className, "__winex11_tray_icon") == 0 && ::IsWindowVisible(icon))
        std::printf("icon\t%ld\t%ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    return TRUE;
}

BOOL CALLBACK PrintMenu(HWND hwnd, LPARAM) {
    char className[16] = "";
    ::GetClassNameA(hwnd, className, sizeof className);
    RECT r;
    if (lstrcmpA(className, "#32768") == 0 && ::IsWindowVisible(hwnd) && ::GetWindowRect(hwnd, &r))
        std::printf("menu\t%ld\t%ld\t%ld\t%ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return TRUE;
}

BOOL CALLBACK PrintTip(HWND hwnd, LPARAM) {
    char className[32] = "";
    ::GetClassNameA(hwnd, className, sizeof className);
    if (lstrcmpiA(className, TOOLTIPS_CLASSA) == 0 && ::IsWindowVisible(hwnd)) std::printf("tip\t%s\n", TextOf(hwnd).c_str());
    return TRUE;
}

int PrintTray() {
    if (HWND tray = ::FindWindowA("__winex11_standalone_tray", nullptr)) ::EnumChildWindows(tray, PrintIcon, 0);
    if (HWND notes = ::FindWindowExA(HWND_MESSAGE, nullptr, "PontisManagerNotes", nullptr))
        std::printf("note\t%s\n", TextOf(notes).c_str());
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // plain "\n" for the shell
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_probe \"<exact caption>\"\n");
        return 1;
    }
    if (std::string(argv[1]) == "--tray") return PrintTray();
    if (std::string(argv[1]) == "--menu" || std::string(argv[1]) == "--tips") {
        ::EnumWindows(std::string(argv[1]) == "--menu" ? PrintMenu : PrintTip, 0);
        std::fflush(stdout);
        return 0;
    }
    Search search{argv[1], nullptr};
    ::EnumWindows(MatchVisible, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return 2;
    RECT r;
    ::GetWindowRect(search.found, &r);
    std::printf("window\t%ld\t%ld\t%ld\t%ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    ::EnumChildWindows(search.found, PrintControl, 0);
    std::fflush(stdout);
    return 0;
}
