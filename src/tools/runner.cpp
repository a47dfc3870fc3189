#include "tools/runner.h"

#include "platform/cursor.h"
#include "platform/handles.h"
#include "platform/module.h"
#include "platform/text.h"
#include "tools/program_image.h"
#include "tools/tool_paths.h"

#include <tlhelp32.h>

#include <cstring>
#include <optional>
#include <vector>

bool DebugMode = false;
DWORD RunTimeoutMs = 120000;

namespace {

// Every tool runs at normal priority in a process group of its own.
constexpr DWORD ToolCreationFlags = NORMAL_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP;
static_assert(ToolCreationFlags == 0x220, "the tools' creation flags");

// How long a terminated process is given to be gone.
constexpr DWORD EndWaitMs = 5000;

// The process list is walked in its 8-bit form, whatever the build's text setting.
using ProcessEntry = tagPROCESSENTRY32;
static_assert(sizeof(ProcessEntry) == (sizeof(void*) == 8 ? 304 : 296), "the 8-bit process entry as built");

using SnapshotFunction = HANDLE(WINAPI*)(DWORD flags, DWORD processId);
using WalkFunction = BOOL(WINAPI*)(HANDLE snapshot, ProcessEntry* entry);

struct ToolHelp {
    HMODULE module = nullptr;
    SnapshotFunction createSnapshot = nullptr;
    WalkFunction first = nullptr;
    WalkFunction next = nullptr;

    bool available() const { return module && createSnapshot && first && next; }
} toolHelp;

}  // namespace

std::string ToolDir() { return ToolDirOf(platform::ExePath()); }

platform::Handle StartTool(const std::string& program, const std::string& arguments) {
    STARTUPINFOW startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (!DebugMode) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    // Wide throughout, so that a folder named with characters the ANSI code page cannot hold
    // stays that folder.
    const std::wstring dir = platform::Widen(ToolDir());
    // CreateProcessW may write to the line.
    std::wstring line = platform::Widen(program) + platform::Widen(arguments, CP_ACP);

    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, ToolCreationFlags, nullptr, dir.c_str(),
                          &startup, &info))
        return {};
    platform::Handle thread(info.hThread);
    return platform::Handle(info.hProcess);
}

DWORD RunCommand(const std::string& program, const std::string& arguments, DWORD timeoutMs) {
    platform::Handle process = StartTool(program, arguments);
    if (!process) return RunFailed;

    platform::ShowHourglass();
    DWORD waited = ::WaitForSingleObject(process.get(), timeoutMs);
    if (waited == WAIT_TIMEOUT) {
        // A tool that hangs must not freeze the program for good: end it and report a failure.
        if (::TerminateProcess(process.get(), RunFailed)) ::WaitForSingleObject(process.get(), EndWaitMs);
    }
    platform::ShowDefaultPointer();

    DWORD exitCode = RunFailed;
    if (waited != WAIT_OBJECT_0 || !::GetExitCodeProcess(process.get(), &exitCode)) return RunFailed;
    return exitCode;
}

void BindToolHelp() {
    if (toolHelp.module) return;
    toolHelp.module = ::GetModuleHandleA("kernel32.dll");
    if (!toolHelp.module) return;
    toolHelp.createSnapshot = platform::ProcAddress<SnapshotFunction>(toolHelp.module, "CreateToolhelp32Snapshot");
    toolHelp.first = platform::ProcAddress<WalkFunction>(toolHelp.module, "Process32First");
    toolHelp.next = platform::ProcAddress<WalkFunction>(toolHelp.module, "Process32Next");
}

std::vector<DWORD> FindProcesses(const std::string& name, std::size_t limit) {
    std::vector<DWORD> ids;
    BindToolHelp();
    if (!toolHelp.available() || limit == 0) return ids;
    platform::SnapshotHandle snapshot(toolHelp.createSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return ids;

    ProcessEntry entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    for (BOOL more = toolHelp.first(snapshot.get(), &entry); more; more = toolHelp.next(snapshot.get(), &entry)) {
        std::string_view exe(entry.szExeFile, ::strnlen(entry.szExeFile, sizeof entry.szExeFile));
        if (IsExeEntryNamed(exe, name)) {
            ids.push_back(entry.th32ProcessID);
            if (ids.size() == limit) break;
        }
    }
    return ids;
}

namespace {

// The machine this program's own image, as loaded, is built for.
std::uint16_t OwnMachine() {
    const auto* image = reinterpret_cast<const unsigned char*>(::GetModuleHandleW(nullptr));
    const std::optional<TImageHeader> header = ReadPeHeader(image + PeHeaderOffset(image));
    return header ? header->Machine : 0;
}

}  // namespace

bool IsProgramFile(const std::string& path) {
    const platform::FileHandle file(::CreateFileW(platform::Widen(path).c_str(), GENERIC_READ,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    const auto readAt = [&file](LONG offset, unsigned char* into, DWORD size) {
        DWORD read = 0;
        return ::SetFilePointer(file.get(), offset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
               ::ReadFile(file.get(), into, size, &read, nullptr) && read == size;
    };
    unsigned char dos[DosHeaderSize], pe[PeHeaderSize];
    if (!readAt(0, dos, sizeof dos)) return false;
    const std::uint32_t offset = PeHeaderOffset(dos);
    if (offset == 0 || !readAt(static_cast<LONG>(offset), pe, sizeof pe)) return false;
    const std::optional<TImageHeader> header = ReadPeHeader(pe);
    return header && RunsAsProgram(*header, OwnMachine());
}

namespace {

bool IsOurHub(DWORD id, const std::wstring& hubPath) {
    const platform::Handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    return process && platform::SamePath(platform::ImagePath(process.get()), hubPath);
}

// Ends one hub. With SYNCHRONIZE we can wait until it has let go of its ports; without it, where
// that right is refused, the termination is only requested.
void EndHub(DWORD id) {
    platform::Handle hub(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    const bool canWait = hub.valid();
    if (!canWait) hub.reset(::OpenProcess(PROCESS_TERMINATE, FALSE, id));
    if (!hub || !::TerminateProcess(hub.get(), 0) || !canWait) return;
    platform::ShowHourglass();
    ::WaitForSingleObject(hub.get(), EndWaitMs);
    platform::ShowDefaultPointer();
}

}  // namespace

std::vector<DWORD> FindHubs() {
    const std::wstring hubPath = platform::Widen(ToolDir() + "\\" + HubExeName);
    std::vector<DWORD> ours;
    for (DWORD id : FindProcesses(HubExeName))
        if (IsOurHub(id, hubPath)) ours.push_back(id);
    return ours;
}

bool EndHubs() {
    for (DWORD id : FindHubs()) EndHub(id);
    return FindHubs().empty();
}
