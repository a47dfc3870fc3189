#pragma once
// An INI-style view on one registry key of the current user: sections are subkey paths below
// it, identifiers are value names, and every value is text. The empty section is the key itself.
#include "platform/handles.h"

#include <stdexcept>
#include <string>

class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A value that is there but holds no text: its registry type (REG_DWORD, REG_BINARY, ...).
class EWrongType : public ERegistryException {
public:
    EWrongType(const std::string& ident, unsigned long type)
        : ERegistryException("Invalid data type for '" + ident + "'"), Type(type) {}
    unsigned long Type;
};

class TRegIniFile {
public:
    // Opens the key below HKEY_CURRENT_USER, creating it when missing; raises when it can be
    // neither opened nor created.
    explicit TRegIniFile(const std::string& keyPath);

    std::string GetText(const std::string& section, const std::string& ident, const std::string& def) const;

    void PutText(const std::string& section, const std::string& ident, const std::string& value);

    // Deletes the section with everything below it; a missing section is no error.
    void DropSection(const std::string& section);

    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& ident) const;

private:
    platform::RegKey OpenSection(const std::string& section) const;

    platform::RegKey key_;
};
