// The main window's File menu: start at log-on, notes, the check of the servers, and the log.
#include "ui/main_window.h"

#include "config/config_store.h"
#include "platform/module.h"
#include "platform/text.h"
#include "tools/command_line.h"
#include "tools/connection_log.h"
#include "ui/app_info.h"
#include "ui/application.h"
#include "ui/notification_area.h"

#include <shellapi.h>

void TMainWindow::NotifyClick() {
    const bool on = !tray_->Notify();
    WriteNotifySetting(on);
    tray_->SetNotify(on);
    ShowLogOnCheck();
}

void TMainWindow::CheckServersClick() {
    WriteCheckServersSetting(!checkServers_);
    checkServers_ = !checkServers_;
    ShowLogOnCheck();
    ClearJudgements();
}

// The log in the program for .log files, or in Notepad where there is none (a new system).
// Only a file opens: anything else of its name is no log.
void TMainWindow::ShowLogClick() {
    const std::wstring path = platform::Widen(ConnectionLogPath());
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ShowBox(hwnd_, "No connections have been logged yet.", AppTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (reinterpret_cast<INT_PTR>(::ShellExecuteW(hwnd_, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32)
        return;
    wchar_t system[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    ::ShellExecuteW(hwnd_, L"open", (std::wstring(system, length) + L"\\notepad.exe").c_str(),
                    (L"\"" + path + L"\"").c_str(), nullptr, SW_SHOWNORMAL);
}

// Checked while the Run key starts this very executable's bridges at log-on; a value naming
// another path (the program was moved) leaves it unchecked.
void TMainWindow::ShowLogOnCheck() {
    const std::optional<std::string> value = ReadLogOnValue();
    const bool checked = value && IsLogOnCommand(*value, platform::ExePath());
    ::CheckMenuItem(fileMenu_, IdMenuLogOn, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    ::CheckMenuItem(fileMenu_, IdMenuNotify, MF_BYCOMMAND | (tray_ && tray_->Notify() ? MF_CHECKED : MF_UNCHECKED));
    ::CheckMenuItem(fileMenu_, IdMenuCheckServers, MF_BYCOMMAND | (checkServers_ ? MF_CHECKED : MF_UNCHECKED));
}

void TMainWindow::LogOnClick() {
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
