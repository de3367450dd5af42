#include "core/SettingsStore.h"

#include <utility>

namespace vantor {

bool SettingsStore::open() {
    useSettingsKey();
    return registry_.createKey(root_, key_);
}

bool SettingsStore::openSteamKey() {
    root_ = RegRoot::CurrentUser;
    key_ = kSteamKey;
    return registry_.createKey(root_, key_);
}

void SettingsStore::useSettingsKey() {
    root_ = RegRoot::LocalMachine;
    key_ = kSettingsKey;
}

std::string SettingsStore::read(const std::string& name) {
    RegValue v = registry_.query(root_, key_, name);
    if (v.kind == RegValueKind::Other) throw SettingsError("Invalid data type for '" + name + "'");
    return v.kind == RegValueKind::String ? v.text : std::string();
}

bool SettingsStore::exists(const std::string& name) {
    return registry_.query(root_, key_, name).kind != RegValueKind::Absent;
}

void SettingsStore::write(const std::string& name, const std::string& value) {
    if (registry_.setString(root_, key_, name, value)) return;
    std::string text = "Failed to set data for '" + name + "'";
    if (!defer_) throw SettingsError(text);
    if (!deferred_.empty()) return;
    const std::string reason = registry_.writeFailure();
    deferred_ = text + (reason.empty() ? std::string(".") : ": " + reason + ".");
}

std::string SettingsStore::takeDeferredFailure() { return std::exchange(deferred_, {}); }

}  // namespace vantor
