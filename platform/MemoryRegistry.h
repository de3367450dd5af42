#pragma once
// A registry held in memory: for tests, and as the store when no hive can be used.

#include "platform/AsciiCase.h"
#include "platform/Registry.h"

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>

namespace vantor {

class MemoryRegistry final : public Registry {
public:
    bool createKey(RegRoot root, const std::string& key) override {
        if (refuseOpen) return false;
        keys_.insert({root, normalize(key)});
        return true;
    }
    RegValue query(RegRoot root, const std::string& key, const std::string& name) override {
        auto it = values_.find({root, normalize(key), name});
        return it == values_.end() ? RegValue{} : it->second;
    }
    bool setString(RegRoot root, const std::string& key, const std::string& name, const std::string& value) override {
        if (refuseWrite) return false;
        keys_.insert({root, normalize(key)});
        values_[{root, normalize(key), name}] = RegValue{RegValueKind::String, value};
        return true;
    }

    std::string writeFailure() const override { return refuseWrite ? refusalText : std::string(); }

    // Test helpers.
    void put(RegRoot root, const std::string& key, const std::string& name, const std::string& value) {
        values_[{root, normalize(key), name}] = RegValue{RegValueKind::String, value};
    }
    void remove(RegRoot root, const std::string& key, const std::string& name) {
        values_.erase({root, normalize(key), name});
    }
    void putOther(RegRoot root, const std::string& key, const std::string& name) {
        values_[{root, normalize(key), name}] = RegValue{RegValueKind::Other, {}};
    }
    bool refuseOpen = false;
    bool refuseWrite = false;
    std::string refusalText;  // what writeFailure() says while writes are refused

private:
    static std::string normalize(std::string key) {
        while (!key.empty() && key.front() == '\\') key.erase(0, 1);
        return asciiLower(key);
    }
    std::set<std::pair<RegRoot, std::string>> keys_;
    std::map<std::tuple<RegRoot, std::string, std::string>, RegValue> values_;
};

}  // namespace vantor
