#include "config/reg_ini_file.h"


#include <vector>

namespace {

platform::RegKey CreateKey(HKEY parent, const std::string& path) {
    platform::RegKey key;
    if (::RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS)
        key.reset();
    return key;
}

platform::RegKey OpenKey(HKEY parent, const std::string& path) {
    platform::RegKey key;
    if (::RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) key.reset();
    return key;
}

void DropKey(HKEY parent, const std::string& path) {
    if (platform::RegKey key = OpenKey(parent, path)) {
        DWORD subkeys = 0, longest = 0;
        if (::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, &longest, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            std::vector<char> name(longest + 1);
            for (DWORD i = subkeys; i-- > 0;) {
                DWORD length = static_cast<DWORD>(name.size());
                if (::RegEnumKeyExA(key.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) ==
                    ERROR_SUCCESS)
                    DropKey(key.get(), std::string(name.data(), length));
            }
        }
    }
    ::RegDeleteKeyA(parent, path.c_str());
}

}  // namespace

TRegIniFile::TRegIniFile(const std::string& keyPath) : key_(CreateKey(HKEY_CURRENT_USER, keyPath)) {
    if (!key_) throw ERegistryException("Failed to open key " + keyPath);
}

platform::RegKey TRegIniFile::OpenSection(const std::string& section) const { return OpenKey(key_.get(), section); }

bool TRegIniFile::SectionExists(const std::string& section) const { return OpenSection(section).valid(); }

bool TRegIniFile::ValueExists(const std::string& section, const std::string& ident) const {
    const platform::RegKey key = OpenSection(section);
    return key && ::RegQueryValueExA(key.get(), ident.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::string TRegIniFile::GetText(const std::string& section, const std::string& ident, const std::string& def) const {
    platform::RegKey key = OpenSection(section);
    if (!key) return def;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(key.get(), ident.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return def;
    if (size == 0) return std::string();

    std::vector<char> data(size);
    if (::RegQueryValueExA(key.get(), ident.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        throw ERegistryException("Failed to get data for '" + ident + "'");
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw EWrongType(ident, type);

    std::string text(data.data(), size);
    return text.substr(0, text.find('\0'));
}

void TRegIniFile::PutText(const std::string& section, const std::string& ident, const std::string& value) {
    if (!CreateKey(key_.get(), section)) throw ERegistryException("Failed to create key " + section);
    platform::RegKey key = OpenSection(section);
    if (!key) return;
    if (::RegSetValueExA(key.get(), ident.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
        throw ERegistryException("Failed to set data for '" + ident + "'");
}

void TRegIniFile::DropSection(const std::string& section) { DropKey(key_.get(), section); }
