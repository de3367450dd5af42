#pragma once
// The registry as the settings store uses it: string values under keys of two
// roots. Backends: the Windows registry, and on POSIX one hive file in the .reg
// text format (see RegistryHive.h).

#include <memory>
#include <string>

namespace vantor {

enum class RegRoot { LocalMachine, CurrentUser };

enum class RegValueKind { Absent, String, Other };

struct RegValue {
    RegValueKind kind = RegValueKind::Absent;
    std::string text;  // the string when kind == String (UTF-8)
};

class Registry {
public:
    virtual ~Registry() = default;

    // Opens the key, creating it and any missing parents. Key paths use '\\'
    // and may start with one ("\\SOFTWARE\\Quorvane\\Vantor"). True when open.
    virtual bool createKey(RegRoot root, const std::string& key) = 0;

    // Reads a value of an existing key; Absent when the key or value is missing.
    virtual RegValue query(RegRoot root, const std::string& key, const std::string& name) = 0;

    // Writes a string value (REG_SZ), replacing any earlier value. False when
    // refused (the key cannot be written).
    virtual bool setString(RegRoot root, const std::string& key, const std::string& name, const std::string& value) = 0;

    // Why the last refused write was refused, naming where the settings live
    // ("the settings file X cannot be written (No space left on device)");
    // empty when the backend cannot tell.
    virtual std::string writeFailure() const { return {}; }
};

// The platform's registry: on POSIX the hive file named by VANTOR_REGISTRY, else
// $XDG_CONFIG_HOME/Quorvane/Vantor/registry.reg (or ~/.config/...).
std::unique_ptr<Registry> openPlatformRegistry();

}  // namespace vantor
