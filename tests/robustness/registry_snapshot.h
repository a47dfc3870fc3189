#pragma once
// Every key and value below a registry key of the current user, read through the API, so that
// a test can tell what a run changed.
#include <windows.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace testreg {

struct Value {
    DWORD type = REG_NONE;
    std::string data;
    bool operator==(const Value& o) const { return type == o.type && data == o.data; }
    bool operator!=(const Value& o) const { return !(*this == o); }
};

inline void PrintTo(const Value& v, std::ostream* os) {
    *os << "type " << v.type << ", " << v.data.size() << " bytes";
    if (v.data.size() <= 40) *os << " \"" << v.data << "\"";
}

using Values = std::map<std::string, Value>;      // by value name
using Snapshot = std::map<std::string, Values>;   // by key path relative to the root, "" the root itself

namespace detail {

inline void Read(HKEY key, const std::string& path, Snapshot& out) {
    Values& values = out[path];
    DWORD subkeys = 0, longestKey = 0, count = 0, longestName = 0, longestData = 0;
    if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longestKey, nullptr, &count, &longestName,
                           &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::vector<char> name(longestName + longestKey + 2);
    std::vector<BYTE> data(longestData + 1);
    for (DWORD i = 0; i < count; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
        if (::RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) == ERROR_SUCCESS)
            values[std::string(name.data(), nameLength)] = {type, std::string(reinterpret_cast<char*>(data.data()), size)};
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (::RegEnumKeyExA(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        const std::string sub(name.data(), nameLength);
        HKEY child = nullptr;
        if (::RegOpenKeyExA(key, sub.c_str(), 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
        Read(child, path.empty() ? sub : path + "\\" + sub, out);
        ::RegCloseKey(child);
    }
}

}  // namespace detail

// The tree below HKEY_CURRENT_USER\root; empty when the key does not exist.
inline Snapshot Snap(const std::string& root) {
    Snapshot snapshot;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, root.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return snapshot;
    detail::Read(key, "", snapshot);
    ::RegCloseKey(key);
    return snapshot;
}

// The part of a snapshot at path and below it.
inline Snapshot Subtree(const Snapshot& snapshot, const std::string& path) {
    Snapshot part;
    for (const auto& [key, values] : snapshot)
        if (key == path || key.compare(0, path.size() + 1, path + "\\") == 0) part[key] = values;
    return part;
}

// The first difference between two snapshots, for a failure message; empty when they are equal.
inline std::string FirstDifference(const Snapshot& a, const Snapshot& b) {
    for (const auto& [key, values] : a) {
        auto other = b.find(key);
        if (other == b.end()) return "key " + key + " is gone";
        for (const auto& [name, value] : values) {
            auto v = other->second.find(name);
            if (v == other->second.end()) return "value " + key + "\\" + name + " is gone";
            if (v->second != value)
                return "value " + key + "\\" + name + " changed: type " + std::to_string(value.type) + ", " +
                       std::to_string(value.data.size()) + " bytes before; type " + std::to_string(v->second.type) +
                       ", " + std::to_string(v->second.data.size()) + " bytes after";
        }
        for (const auto& [name, value] : other->second)
            if (!values.count(name)) return "value " + key + "\\" + name + " is new";
    }
    for (const auto& [key, values] : b)
        if (!a.count(key)) return "key " + key + " is new";
    return {};
}

}  // namespace testreg
