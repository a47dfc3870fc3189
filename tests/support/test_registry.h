#pragma once
// Seeding and reading the test prefix's registry directly, around the code under test.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>

namespace testreg {

inline const char kProgramKey[] = "Software\\Quillon\\Pontis Manager";

struct RawValue {
    DWORD type = REG_NONE;
    std::string data;
    bool exists = false;
};

inline std::string SlotKey(int n) { return std::string(kProgramKey) + "\\Bridges\\" + std::to_string(n); }

inline void DeleteProgramKey() { ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quillon"); }

inline bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

inline RawValue ReadRaw(const std::string& path, const char* name) {
    RawValue v;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return v;
    DWORD size = 0;
    if (::RegQueryValueExA(key, name, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
        v.exists = true;
        v.data.resize(size);
        if (size) ::RegQueryValueExA(key, name, nullptr, &v.type, reinterpret_cast<BYTE*>(&v.data[0]), &size);
    }
    ::RegCloseKey(key);
    return v;
}

// The text of a REG_SZ value without its terminating zero, or "<missing>".
inline std::string ReadText(const std::string& path, const char* name) {
    RawValue v = ReadRaw(path, name);
    if (!v.exists) return "<missing>";
    return v.data.substr(0, v.data.find('\0'));
}

inline bool WriteRaw(const std::string& path, const char* name, DWORD type, const std::string& data) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const bool ok = ::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                     static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return ok;
}

inline bool WriteText(const std::string& path, const char* name, const std::string& text) {
    return WriteRaw(path, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

// A stored bridge with the values the program writes, for slot n.
inline void WriteBridge(int n, const std::string& com, const std::string& ip = "192.168.0.99",
                        const std::string& port = "9761", const std::string& name = "") {
    const std::string k = SlotKey(n);
    WriteText(k, "Index", std::to_string(n));
    WriteText(k, "COM", com);
    WriteText(k, "Baud", "9600");
    WriteText(k, "Emulate", "1");
    WriteText(k, "Connect", "0");
    WriteText(k, "IP", ip);
    WriteText(k, "Port", port);
    WriteText(k, "Delay", "500");
    WriteText(k, "TXDelay", "10");
    WriteText(k, "RXDelay", "10");
    WriteText(k, "Name", name);
}

// Denies everyone every access to a key (the owner may still lift it), or lifts the denial.
inline void DenyAccess(const char* path, bool deny) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, WRITE_DAC, &key), ERROR_SUCCESS) << path;
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA(deny ? "D:(D;;KA;;;WD)" : "D:(A;;KA;;;WD)",
                                                                       SDDL_REVISION_1, &sd, nullptr));
    EXPECT_EQ(::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    ::LocalFree(sd);
    ::RegCloseKey(key);
}

}  // namespace testreg
