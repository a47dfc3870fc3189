// The main window's side of life in the notification area: showing the window from the icon,
// the File menu's log-on, notes and log entries, and the links as the icon and the log see them.
#include "ui/Unit1.h"

#include "config/config_store.h"
#include "platform/module.h"
#include "platform/text.h"
#include "tools/bridge_status.h"
#include "tools/command_line.h"
#include "tools/connection_log.h"
#include "ui/app_info.h"
#include "ui/application.h"
#include "ui/notification_area.h"

#include <shellapi.h>

bool TForm1::StaysInTray() const { return tray_ && tray_->Stays(); }

void TForm1::ShowInFront() {
    ::ShowWindow(hwnd_, ::IsIconic(hwnd_) ? SW_RESTORE : SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd_);
}

std::vector<TLinkSeen> TForm1::LinksSeen() const {
    std::vector<TLinkSeen> links;
    for (const std::string& caption : Captions()) {
        const TLinkTarget target = LinkTargetOf(caption);
        links.push_back({caption, target.Host + ":" + std::to_string(target.Port), StateOf(caption)});
    }
    return links;
}

void TForm1::Notify1Click() {
    const bool on = !tray_->Notify();
    WriteNotifySetting(on);
    tray_->SetNotify(on);
    ShowLogOnCheck();
}

void TForm1::ShowLog1Click() {
    const std::string path = ConnectionLogPath();
    if (path.empty() || ::GetFileAttributesW(platform::Widen(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
        ::MessageBoxA(hwnd_, "No connections have been logged yet.", AppTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    ::ShellExecuteW(hwnd_, L"open", platform::Widen(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Checked while the Run key starts this very executable's bridges at log-on; a value naming
// another path (the program was moved) leaves it unchecked.
void TForm1::ShowLogOnCheck() {
    const std::optional<std::string> value = ReadLogOnValue();
    const bool checked = value && IsLogOnCommand(*value, platform::ExePath());
    ::CheckMenuItem(fileMenu_, IdMenuLogOn, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    ::CheckMenuItem(fileMenu_, IdMenuNotify, MF_BYCOMMAND | (tray_ && tray_->Notify() ? MF_CHECKED : MF_UNCHECKED));
}

void TForm1::LogOn1Click() {
    const std::string command = LogOnCommand(platform::ExePath());
    try {
        const std::optional<std::string> value = ReadLogOnValue();
        if (value && IsLogOnCommand(*value, platform::ExePath()))
            DeleteLogOnValue();
        else
            WriteLogOnValue(command);
    } catch (...) {
        ShowLogOnCheck();  // the mark stays as the registry is
        throw;
    }
    ShowLogOnCheck();
}
