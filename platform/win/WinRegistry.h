#pragma once
// The Windows registry behind the Registry interface. HKEY_LOCAL_MACHINE is
// addressed in its 32-bit view, where the program's settings key has always
// been; HKEY_CURRENT_USER\Software is shared by both views.

#include "platform/Registry.h"

namespace vantor {

class WinRegistry final : public Registry {
public:
    bool createKey(RegRoot root, const std::string& key) override;
    RegValue query(RegRoot root, const std::string& key, const std::string& name) override;
    bool setString(RegRoot root, const std::string& key, const std::string& name, const std::string& value) override;
};

}  // namespace vantor
