#include "app/SettingsCodec.h"

#include "platform/FileOps.h"

#include <array>
#include <span>
#include <string_view>

namespace vantor {
namespace {

constexpr std::array<std::string_view, 3> kDetailCodes = {"1", "2", "3"};
constexpr std::array<std::string_view, 6> kDemoCodes = {"1", "2", "3", "4", "5", "6"};
constexpr std::array<std::string_view, 7> kAFCodes = {"1", "2", "3", "4", "5", "6", "Sys"};
constexpr std::array<std::string_view, 6> kAACodes = {"1", "2", "4", "6", "8", "Sys"};
constexpr std::array<std::string_view, 5> kHeapsizeCodes = {"64000", "128000", "256000", "512000", "1024000"};
constexpr std::array<std::string_view, 4> kRefreshCodes = {"60", "70", "75", "85"};
constexpr std::array<std::string_view, 4> kDirectXCodes = {"70", "80", "81", "90"};
constexpr std::array<std::string_view, 10> kThresholdCodes = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};

std::span<const std::string_view> codesOf(Choice choice) {
    switch (choice) {
        case Choice::Detail: return kDetailCodes;
        case Choice::Demo: return kDemoCodes;
        case Choice::AF: return kAFCodes;
        case Choice::AA: return kAACodes;
        case Choice::Heapsize: return kHeapsizeCodes;
        case Choice::Refresh: return kRefreshCodes;
        case Choice::DirectX: return kDirectXCodes;
        case Choice::Passes: return kPassesItems;
        case Choice::AdaptiveThreshold: return kThresholdCodes;
        case Choice::AdaptiveCap: return kCapItems;
    }
    return {};
}

// Values seeded for a program version while Addinfo does not exist.
struct SeedRow {
    std::string_view version;
    std::span<const char* const> empty;  // written as ""
    std::span<const char* const> zero;   // written as "0", after the empty ones
};

constexpr const char* kHardwareValues[] = {sv::CPU, sv::Memory, sv::OS, sv::VGA, sv::VGADriver, sv::VGAMemory};
constexpr const char* kZeroes10[] = {sv::Addinfo, sv::SaveInfo, sv::Donate, sv::NoErrorWarning};
constexpr const char* kZeroes12[] = {sv::Donate, sv::NoErrorWarning};
constexpr const char* kZeroes13[] = {sv::NoErrorWarning};

constexpr SeedRow kSeedRows[] = {
    {"1.0", kHardwareValues, kZeroes10},
    {"1.1", kHardwareValues, kZeroes10},
    {"1.2", {}, kZeroes12},
    {"1.3", {}, kZeroes13},
};

// What a user who never chose sees: the code shown while a choice has no
// stored value (absent or empty). A stored code that matches no item still
// leaves the choice empty.
struct FreshDefault {
    Choice choice;
    std::string_view code;
};
constexpr FreshDefault kFreshDefaults[] = {
    {Choice::Detail, "1"},        // Maximum
    {Choice::Demo, "1"},          // the first built-in demo
    {Choice::AF, "2"},            // Trilinear
    {Choice::AA, "1"},            // None
    {Choice::Heapsize, "64000"},  // 64 MB - default
    {Choice::Refresh, "60"},      // 60 Hz
    {Choice::DirectX, "90"},      // DirectX 9
    {Choice::Passes, "1"},       {Choice::AdaptiveThreshold, "3"}, {Choice::AdaptiveCap, "10"},
};

// The size a user who never chose a resolution gets ticked.
constexpr int kFreshTodayResolution = 0;  // 1280×720

void decodeChoice(SettingsStore& store, MainView& view, Choice choice, const std::function<void()>& chosen = {}) {
    const std::string code = store.read(valueNameOf(choice));
    if (code.empty()) {
        // A default is shown, not stored: the user's pick stores it.
        view.setChoice(choice, indexOfCode(choice, std::string(freshDefaultCode(choice))));
        return;
    }
    const int index = indexOfCode(choice, code);
    if (index < 0) return;
    view.setChoice(choice, index);
    if (chosen) chosen();
}

}  // namespace

std::string_view freshDefaultCode(Choice choice) {
    for (const auto& d : kFreshDefaults)
        if (d.choice == choice) return d.code;
    return {};
}

bool anyResolutionStored(SettingsStore& store) {
    for (const char* name : sv::Resolutions)
        if (!store.read(name).empty()) return true;
    for (const char* name : sv::TodayResolutions)
        if (!store.read(name).empty()) return true;
    return !store.read(sv::CustomResolutionOn).empty();
}

std::string codeOf(Choice choice, int index) {
    auto codes = codesOf(choice);
    if (index < 0 || static_cast<std::size_t>(index) >= codes.size()) return {};
    return std::string(codes[static_cast<std::size_t>(index)]);
}

int indexOfCode(Choice choice, const std::string& code) {
    auto codes = codesOf(choice);
    for (std::size_t i = 0; i < codes.size(); ++i)
        if (codes[i] == code) return static_cast<int>(i);
    return -1;
}

const char* valueNameOf(Choice choice) {
    switch (choice) {
        case Choice::Detail: return sv::Detail;
        case Choice::Demo: return sv::Demo;
        case Choice::AF: return sv::AFLevel;
        case Choice::AA: return sv::AALevel;
        case Choice::Heapsize: return sv::Heapsize;
        case Choice::Refresh: return sv::Refresh;
        case Choice::DirectX: return sv::DXLevel;
        case Choice::Passes: return sv::Passes;
        case Choice::AdaptiveThreshold: return sv::AdaptiveThreshold;
        case Choice::AdaptiveCap: return sv::AdaptiveCap;
    }
    return "";
}

void applySeeding(SettingsStore& store) {
    for (const auto& row : kSeedRows) {
        if (store.read(sv::Programversion) != row.version || store.exists(sv::Addinfo)) continue;
        for (const char* name : row.empty) store.write(name, "");
        for (const char* name : row.zero) store.write(name, "0");
    }
}

void decodeSettings(SettingsStore& store, MainView& view, const DecodeHooks& hooks) {
    if (store.read(sv::HDDUsage) == "1") view.setChecked(Check::HDDUse, true);
    for (int i = 0; i < kResolutionCount; ++i)
        if (store.read(sv::Resolutions[i]) == "1") view.setResolutionChecked(i, true);

    decodeChoice(store, view, Choice::Demo, hooks.demoChosen);
    if (const std::string demo = store.read(sv::Demoname); fileExists(demo)) view.setText(Field::DemoEdit, demo);

    decodeChoice(store, view, Choice::AF);
    decodeChoice(store, view, Choice::AA);
    decodeChoice(store, view, Choice::Detail, hooks.detailChosen);
    view.setText(Field::DetailEdit, store.read(sv::CustomConfig));

    const std::string results = store.read(sv::ResultPath);
    view.setText(Field::ResEdit, folderExists(results) ? results : std::string());

    view.setText(Field::NoteEdit, store.read(sv::Note));
    if (hooks.afterNote) hooks.afterNote();

    decodeChoice(store, view, Choice::DirectX);
    decodeChoice(store, view, Choice::Heapsize);
    decodeChoice(store, view, Choice::Refresh);

    // Only a stored value ticks the box: an absent (or empty) one is the
    // user's not yet having asked for the additional information.
    if (hooks.hl2Known && !store.read(sv::Addinfo).empty() && store.read(sv::Addinfo) != "0") {
        view.setChecked(Check::AddInfo, true);
        if (hooks.addInfoChecked) hooks.addInfoChecked();
    }
    if (store.read(sv::FastZ) != "0") view.setChecked(Check::FastZ, true);
    decodeRunOptions(store, view);
}

void decodeRunOptions(SettingsStore& store, MainView& view) {
    // An absent or unknown code shows the default item.
    auto choice = [&](Choice c) {
        int index = indexOfCode(c, store.read(valueNameOf(c)));
        if (index < 0) index = indexOfCode(c, std::string(freshDefaultCode(c)));
        view.setChoice(c, index);
    };
    choice(Choice::Passes);
    choice(Choice::AdaptiveThreshold);
    choice(Choice::AdaptiveCap);
    view.setChecked(Check::AdaptivePasses, store.read(sv::AdaptivePasses) == "1");
    view.setChecked(Check::ReportSummary, store.read(sv::ReportSummary) == "1");
    view.setChecked(Check::ResultFiles, store.read(sv::ResultFiles) != "0");
    const bool fresh = !anyResolutionStored(store);
    for (int i = 0; i < kTodayResolutionCount; ++i)
        view.setTodayResolutionChecked(
            i, store.read(sv::TodayResolutions[i]) == "1" || (fresh && i == kFreshTodayResolution));
    // A stored size that is no longer valid is not shown.
    const auto custom = parseResolution(store.read(sv::CustomResolution));
    view.setText(Field::CustomResolution, custom.value ? resolutionText(*custom.value) : std::string());
    view.setChecked(Check::CustomResolution, custom.value && store.read(sv::CustomResolutionOn) == "1");
}

namespace {

// The item a stored choice shows: its code's item, the fresh default while
// nothing is stored, -1 for a code that matches no item.
int storedChoice(SettingsStore& store, Choice c) {
    std::string code = store.read(valueNameOf(c));
    if (code.empty()) code = std::string(freshDefaultCode(c));
    return indexOfCode(c, code);
}

// The run options beyond the classic set: an unknown code takes the default.
int storedRunOption(SettingsStore& store, Choice c) {
    const int index = indexOfCode(c, store.read(valueNameOf(c)));
    return index >= 0 ? index : indexOfCode(c, std::string(freshDefaultCode(c)));
}

}  // namespace

RunRequest decodeRequest(SettingsStore& store, const std::function<void()>& afterNote) {
    RunRequest r;
    r.minimizeHddUse = store.read(sv::HDDUsage) == "1";
    for (int i = 0; i < kResolutionCount; ++i)
        if (store.read(sv::Resolutions[i]) == "1") r.sizes.push_back({kWidths[i], kHeights[i]});

    r.demo = itemValue<DemoChoice>(Choice::Demo, storedChoice(store, Choice::Demo));
    if (const std::string demo = store.read(sv::Demoname); fileExists(demo)) r.userDemoFile = demo;
    r.filtering = itemValue<TextureFiltering>(Choice::AF, storedChoice(store, Choice::AF));
    r.antialiasing = itemValue<Antialiasing>(Choice::AA, storedChoice(store, Choice::AA));
    r.detail = itemValue<DetailLevel>(Choice::Detail, storedChoice(store, Choice::Detail));
    r.customConfigFile = store.read(sv::CustomConfig);
    if (const std::string results = store.read(sv::ResultPath); folderExists(results)) r.resultsFolder = results;
    r.note = store.read(sv::Note);
    if (afterNote) afterNote();
    r.directX = itemValue<DirectXLevel>(Choice::DirectX, storedChoice(store, Choice::DirectX));
    r.heapSize = itemValue<HeapSize>(Choice::Heapsize, storedChoice(store, Choice::Heapsize));
    r.refreshRate = itemValue<RefreshRate>(Choice::Refresh, storedChoice(store, Choice::Refresh));
    const std::string addInfo = store.read(sv::Addinfo);
    r.additionalInfo = !addInfo.empty() && addInfo != "0";
    r.fastZ = store.read(sv::FastZ) != "0";

    r.passes.passes = storedRunOption(store, Choice::Passes) + 1;
    r.passes.thresholdPercent = storedRunOption(store, Choice::AdaptiveThreshold) + 1;
    r.passes.cap = storedRunOption(store, Choice::AdaptiveCap) + 2;
    r.passes.adaptive = store.read(sv::AdaptivePasses) == "1";
    r.reportSummary = store.read(sv::ReportSummary) == "1";
    r.resultFiles = store.read(sv::ResultFiles) != "0";
    const bool fresh = !anyResolutionStored(store);
    for (int i = 0; i < kTodayResolutionCount; ++i)
        if (store.read(sv::TodayResolutions[i]) == "1" || (fresh && i == kFreshTodayResolution))
            r.sizes.push_back(kTodayResolutions[static_cast<std::size_t>(i)]);
    const auto custom = parseResolution(store.read(sv::CustomResolution));
    if (custom.value && store.read(sv::CustomResolutionOn) == "1") r.sizes.push_back(*custom.value);
    r.sizes = orderedSizes(std::move(r.sizes));
    return r;
}

}  // namespace vantor
