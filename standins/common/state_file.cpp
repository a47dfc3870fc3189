#include "common/state_file.h"

#include "platform/handles.h"
#include "platform/text.h"

#include <windows.h>

namespace setupc {

constexpr LONGLONG MaxStateSize = 1 << 20;

SetupError SystemError(const std::string& what) {
    return SetupError(what + " (error " + std::to_string(GetLastError()) + ")");
}

std::string ReadStateFile(const std::string& path) {
    platform::FileHandle file(
        CreateFileW(platform::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return {};
        throw SystemError("cannot open " + path);
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) throw SystemError("cannot read " + path);
    if (size.QuadPart > MaxStateSize) throw SetupError(path + " is too large to be a state file");
    std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() && (!ReadFile(file.get(), &text[0], static_cast<DWORD>(text.size()), &read, nullptr) ||
                          read != text.size()))
        throw SystemError("cannot read " + path);
    return text;
}

void WriteStateFile(const std::string& path, const std::string& text) {
    std::string temp = path + ".new";
    {
        platform::FileHandle file(
            CreateFileW(platform::Widen(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) throw SystemError("cannot create " + temp);
        DWORD written = 0;
        if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size() || !FlushFileBuffers(file.get())) {
            SetupError e = SystemError("cannot write " + temp);
            file.reset();
            DeleteFileW(platform::Widen(temp).c_str());
            throw e;
        }
    }
    if (!MoveFileExW(platform::Widen(temp).c_str(), platform::Widen(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        SetupError e = SystemError("cannot replace " + path);
        DeleteFileW(platform::Widen(temp).c_str());
        throw e;
    }
}

}  // namespace setupc
