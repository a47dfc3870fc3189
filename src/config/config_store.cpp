#include "config/config_store.h"

#include "config/bridge_fields.h"
#include "config/number.h"
#include "config/reg_ini_file.h"
#include "platform/text.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <string_view>

const char ProgramKey[] = "Software\\Quillon\\Pontis Manager";

namespace {

const char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char LogOnValueName[] = "Pontis Manager";

std::string Section(int n) { return "Bridges\\" + Decimal(n); }

// The fields in the order the store has always read and written them: the name last.
template <class Visit>
void ForEachStoredField(Visit visit) {
    const auto isName = [](const TBridgeField& field) { return std::string_view(field.Name) == "Name"; };
    for (const TBridgeField& field : BridgeFields)
        if (!isName(field)) visit(field);
    visit(*std::find_if(std::begin(BridgeFields), std::end(BridgeFields), isName));
}

// What a value of another type than text is stored as, as the row's tip says it.
std::string StoredAs(unsigned long type) {
    switch (type) {
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
    case REG_QWORD: return "a number";
    case REG_BINARY: return "binary data";
    case REG_MULTI_SZ: return "a list of texts";
    case REG_NONE: return "data of no type";
    default: return "data of type " + Decimal(static_cast<std::int32_t>(type));
    }
}

// What the load found wrong in a slot: the first value stored as no text, and whether the
// Index read as a number.
struct TSlotRead {
    const char* WrongField = nullptr;
    unsigned long WrongType = 0;
    bool IndexRead = true;
};

// The Port is read first: it tells whether the slot is used. A value that does not read (no
// number where one belongs, or no text at all) counts as missing.
TSlotRead LoadSlot(const TRegIniFile& store, int n, std::int32_t port, TBridge& b) {
    const std::string s = Section(n);
    TSlotRead read;
    ForEachStoredField([&](const TBridgeField& field) {
        if (std::string_view(field.Name) == "Port") return;
        try {
            if (SetFieldText(b, field, store.GetText(s, field.Name, field.Default), ParseNumber)) return;
        } catch (const EWrongType& e) {
            if (!read.WrongField) read = {field.Name, e.Type, read.IndexRead};
        }
        SetFieldText(b, field, field.Default, ParseNumber);
        read.IndexRead = read.IndexRead && std::string_view(field.Name) != "Index";
    });
    b.Port = port;
    return read;
}

// Writes the fields of slot n whose text differs from before's; every field without before.
// What was not changed stays as stored, byte for byte, whatever the code page made of it.
void SaveSlot(TRegIniFile& store, int n, const TBridge* before) {
    const std::string s = Section(n);
    ForEachStoredField([&](const TBridgeField& field) {
        const std::string text = FieldText(Bridges[n], field);
        if (!before || text != FieldText(*before, field)) store.PutText(s, field.Name, text);
    });
}

// After a failed load: keep the failing slot and every later stored one out of reach, so that
// no save erases them and no add overwrites them.
void HoldBack(int n, const std::string& reason) {
    ZeroSlot(n);
    HeldBack[n] = true;
    HeldBackReason[n] = reason;
}

void HoldBackFrom(int failed, const TRegIniFile* store, const std::string& reason) {
    for (int n = failed; n <= LastSlot; ++n)
        if (n == failed || !store || store->SectionExists(Section(n))) HoldBack(n, reason);
}

}  // namespace

void LoadBridges(const std::function<void(const TBridge&)>& addRow) {
    std::unique_ptr<TRegIniFile> store;
    try {
        store = std::make_unique<TRegIniFile>(ProgramKey);
    } catch (const ERegistryException& e) {
        HoldBackFrom(FirstSlot, nullptr, e.what());
        throw;
    }
    for (int n = FirstSlot; n <= LastSlot; ++n) {
        std::int32_t port = 0;  // 0 when it does not read as a number of 1 or more
        std::string portText;
        std::optional<unsigned long> portType;  // stored as no text
        TSlotRead read;
        try {
            if (!store->ValueExists(Section(n), "Port")) continue;  // only a missing Port marks a free slot
            try {
                portText = store->GetText(Section(n), "Port", "");
            } catch (const EWrongType& e) {
                portType = e.Type;
            }
            port = std::max<std::int32_t>(ParseNumber(portText).value_or(0), 0);
            read = LoadSlot(*store, n, port, Bridges[n]);
        } catch (const ERegistryException& e) {
            HoldBackFrom(n, store.get(), e.what());
            throw;
        }
        // A value stored as no text, a Port that does not read as one, or an empty COM text
        // names no bridge a start could take. The row shows it, for the user to mend or delete
        // it, and a start leaves it out.
        if (portType)
            MarkStoredAs(n, "Port", StoredAs(*portType));
        else if (port == 0)
            MarkUnreadable(n, "Port", portText);
        else if (read.WrongField)
            MarkStoredAs(n, read.WrongField, StoredAs(read.WrongType));
        else if (Bridges[n].COM.empty())
            MarkUnreadable(n, "COM", "");
        if (Unreadable[n] && !read.IndexRead) Bridges[n].Index = 0;  // no pair to remove with it
        addRow(Bridges[n]);
    }
}

std::optional<TBridge> ReadStoredBridge(int n) {
    const TRegIniFile store(ProgramKey);
    if (!store.ValueExists(Section(n), "Port")) return std::nullopt;
    std::string portText;
    try {
        portText = store.GetText(Section(n), "Port", "");
    } catch (const EWrongType&) {
    }
    TBridge b;
    LoadSlot(store, n, std::max<std::int32_t>(ParseNumber(portText).value_or(0), 0), b);
    return b;
}

namespace {

bool SameFields(const TBridge& a, const TBridge& b) {
    return std::all_of(std::begin(BridgeFields), std::end(BridgeFields),
                       [&](const TBridgeField& field) { return FieldText(a, field) == FieldText(b, field); });
}

}  // namespace

void SaveBridge(int n, const TBridge* before) {
    if (HeldBack[n]) return;
    if (IsFreeSlot(n)) {
        TRegIniFile(ProgramKey).DropSection(Section(n));
    } else if (!Unreadable[n] && Bridges[n].Port >= 1) {
        // Changed values alone only onto the bridge as it was loaded: one that another program
        // deleted or changed meanwhile is written whole, never as a fragment.
        if (before) {
            const std::optional<TBridge> stored = ReadStoredBridge(n);
            if (!stored || !SameFields(*stored, *before)) before = nullptr;
        }
        TRegIniFile store(ProgramKey);
        SaveSlot(store, n, before);
    }
}

TStoredChanges::TStoredChanges() {
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, ProgramKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_NOTIFY, nullptr,
                          key_.put(), nullptr) != ERROR_SUCCESS)
        return;
    event_.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    Arm();
}

void TStoredChanges::Arm() {
    if (event_)
        ::RegNotifyChangeKeyValue(key_.get(), TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, event_.get(), TRUE);
}

bool TStoredChanges::Changed() {
    if (!event_ || ::WaitForSingleObject(event_.get(), 0) != WAIT_OBJECT_0) return false;
    ::ResetEvent(event_.get());
    Arm();
    return true;
}

std::optional<std::string> ReadLogOnValue() {
    platform::RegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, RunKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return std::nullopt;
    const std::wstring name = platform::Widen(LogOnValueName);
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (size > 0 && ::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&text[0]),
                                       &size) != ERROR_SUCCESS)
        return std::nullopt;
    return platform::Narrow(text.substr(0, text.find(L'\0')));
}

void WriteLogOnValue(const std::string& command) {
    platform::RegKey key;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, RunKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS)
        throw ERegistryException(std::string("Failed to open key ") + RunKey);
    // Wide, as the path in the command may hold characters the ANSI code page cannot.
    const std::wstring text = platform::Widen(command);
    if (::RegSetValueExW(key.get(), platform::Widen(LogOnValueName).c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
        throw ERegistryException(std::string("Failed to set data for '") + LogOnValueName + "'");
}

void DeleteLogOnValue() {
    platform::RegKey key;
    const LONG opened = ::RegOpenKeyExA(HKEY_CURRENT_USER, RunKey, 0, KEY_SET_VALUE, key.put());
    if (opened == ERROR_FILE_NOT_FOUND) return;
    if (opened != ERROR_SUCCESS) throw ERegistryException(std::string("Failed to open key ") + RunKey);
    const LONG deleted = ::RegDeleteValueA(key.get(), LogOnValueName);
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND)
        throw ERegistryException(std::string("Failed to delete '") + LogOnValueName + "'");
}

namespace {

// A setting that is on ("1") or off ("0") under the program's key: on when missing or unreadable.
bool ReadOnOff(const char* name) {
    try {
        return TRegIniFile(ProgramKey).GetText("", name, "1") != "0";
    } catch (const ERegistryException&) {
        return true;
    }
}

void WriteOnOff(const char* name, bool on) { TRegIniFile(ProgramKey).PutText("", name, on ? "1" : "0"); }

}  // namespace

bool ReadNotifySetting() { return ReadOnOff("Notify"); }
void WriteNotifySetting(bool on) { WriteOnOff("Notify", on); }
bool ReadCheckServersSetting() { return ReadOnOff("CheckServers"); }
void WriteCheckServersSetting(bool on) { WriteOnOff("CheckServers", on); }
