#pragma once
// The stored settings of a user who has chosen every option once, as the tests
// that run a simulated installation start from: 640×480 and 800×600 ticked,
// maximum detail, the first built-in demo, the system's filtering, no
// antialiasing, DirectX 9, a 64 MB heap, 60 Hz, fast z off, reports into a
// folder of the test's own. Extra entries replace or add values.

#include "core/SettingsStore.h"
#include "platform/Registry.h"
#include "platform/RegistryHive.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace vantor::test {

using StoredValues = std::map<std::string, std::string>;

inline StoredValues chosenSettings(const std::string& resultsFolder, const StoredValues& extra = {}) {
    StoredValues values = {{"Programversion", "1.3"},
                           {"Addinfo", "0"},
                           {"Donate", "1"},
                           {"NoErrorWarning", "0"},
                           {"640", "1"},
                           {"800", "1"},
                           {"Detail", "1"},
                           {"AFLevel", "Sys"},
                           {"AALevel", "1"},
                           {"DXLevel", "90"},
                           {"Heapsize", "64000"},
                           {"Refresh", "60"},
                           {"Demo", "1"},
                           {"FastZ", "0"},
                           {"ResultPath", resultsFolder}};
    for (const auto& [name, value] : extra) values[name] = value;
    return values;
}

// Writes the values under the program's key of the settings hive file.
inline ::testing::AssertionResult storeSettings(const std::string& hivePath, const StoredValues& values) {
    RegistryHive hive(hivePath);
    for (const auto& [name, value] : values)
        if (!hive.setString(RegRoot::LocalMachine, kSettingsKey, name, value))
            return ::testing::AssertionFailure() << "cannot store " << name << " in " << hivePath;
    return ::testing::AssertionSuccess();
}

}  // namespace vantor::test
