#pragma once
// The options of a run by name, as vantor-cli takes them: each value as a word
// (or a file or folder where the option is one), checked with a message that
// names the allowed values; set into a run request for one run, or stored as
// the window stores the user's choice.

#include "core/RunRequest.h"
#include "core/SettingsStore.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

struct NamedOption {
    std::string_view name;     // "filtering"
    std::string_view what;     // "texture filtering"
    std::string_view allowed;  // "bilinear, trilinear, ..." as the help shows it
};

// Every option, in the order `vantor-cli options` lists them.
std::span<const NamedOption> namedOptions();
// The option of that name; nullptr when there is none.
const NamedOption* findNamedOption(std::string_view name);

// Sets the option in the request, for one run. Returns the reason when the
// value is not allowed (empty when set).
std::string applyNamedOption(const NamedOption& option, const std::string& value, RunRequest& request);

// Stores the value as the window stores the user's pick. Returns the reason
// when the value is not allowed; throws SettingsError when the write is refused.
std::string storeNamedOption(const NamedOption& option, const std::string& value, SettingsStore& store);

// The option's stored value as a word of its own (a file or folder as stored);
// fromDefault is set when nothing is stored and the word is what a new user
// gets. Empty when neither gives a value.
std::string storedOptionWord(const NamedOption& option, SettingsStore& store, bool& fromDefault);

}  // namespace vantor
