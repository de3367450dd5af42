// The settings hive: a file that loads is written back (after one change) and
// loads again with every key and value it had; the settings key reads the
// same through the store.

#include "core/SettingsStore.h"
#include "platform/RegistryHive.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace vantor;

namespace {

std::string lower(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::scratch() + "hive/registry.reg";
    std::filesystem::remove_all(fuzz::scratch() + "hive");
    fuzz::writeBytes(path, data, size);

    RegistryHive first(path);
    if (first.damaged()) return 0;
    FUZZ_CHECK(first.setString(RegRoot::LocalMachine, "\\VantorFuzzProbe", "probe", "written"));
    RegistryHive again(path);
    FUZZ_CHECK(!again.damaged(), again.damageReason());
    FUZZ_CHECK(again.query(RegRoot::LocalMachine, "\\VantorFuzzProbe", "PROBE").text == "written");

    const auto& before = first.contents();
    const auto& after = again.contents();
    const std::string probe = "HKEY_LOCAL_MACHINE\\vantorfuzzprobe";
    for (const auto& section : before.sections) {
        if (section.id == probe) continue;
        const hive::Section* other = after.find(section.id);
        FUZZ_CHECK(other != nullptr, section.header);
        for (const auto& e : section.entries) {
            if (e.kind == hive::Entry::Kind::Comment) continue;
            const hive::Entry* o = other->find(lower(e.name));
            FUZZ_CHECK(o != nullptr, e.name);
            FUZZ_CHECK(o->kind == e.kind && o->data == e.data, e.name);
        }
    }

    // The settings key through the store's interface.
    const hive::Section* settings = before.find(std::string("HKEY_LOCAL_MACHINE") + lower(kSettingsKey));
    if (!settings) return 0;
    SettingsStore store(again);
    FUZZ_CHECK(store.open());
    for (const auto& e : settings->entries) {
        if (e.kind == hive::Entry::Kind::Comment) continue;
        FUZZ_CHECK(store.exists(e.name), e.name);
        if (e.kind == hive::Entry::Kind::String) {
            FUZZ_CHECK(store.read(e.name) == e.data, e.name);
        } else {
            bool refused = false;
            try {
                store.read(e.name);
            } catch (const SettingsError&) {
                refused = true;
            }
            FUZZ_CHECK(refused, e.name);
        }
    }
    return 0;
}
