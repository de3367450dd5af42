#include "app/RunRequestControls.h"

namespace vantor {
namespace {

// The ticked sizes: the classic ones, today's, and the user's own when ticked;
// a ticked size of the user's own that is not valid gives the reason.
void sizesOf(const MainView& controls, RunRequest& r) {
    for (int i = 0; i < kResolutionCount; ++i)
        if (controls.resolutionChecked(i)) r.sizes.push_back({kWidths[i], kHeights[i]});
    for (int i = 0; i < kTodayResolutionCount; ++i)
        if (controls.todayResolutionChecked(i)) r.sizes.push_back(kTodayResolutions[static_cast<std::size_t>(i)]);
    if (controls.checked(Check::CustomResolution)) {
        const auto custom = parseResolution(controls.text(Field::CustomResolution));
        if (custom.value)
            r.sizes.push_back(*custom.value);
        else
            r.sizeError = custom.error;
    }
    r.sizes = orderedSizes(std::move(r.sizes));
}

PassPolicy passesOf(const MainView& controls) {
    PassPolicy p;
    if (const int i = controls.choice(Choice::Passes); i >= 0) p.passes = i + 1;
    p.adaptive = controls.checked(Check::AdaptivePasses);
    if (const int i = controls.choice(Choice::AdaptiveThreshold); i >= 0) p.thresholdPercent = i + 1;
    if (const int i = controls.choice(Choice::AdaptiveCap); i >= 0) p.cap = i + 2;
    return p;
}

}  // namespace

RunRequest requestFromControls(const MainView& controls) {
    RunRequest r;
    r.detail = itemValue<DetailLevel>(Choice::Detail, controls.choice(Choice::Detail));
    r.customConfigFile = controls.text(Field::DetailEdit);
    r.demo = itemValue<DemoChoice>(Choice::Demo, controls.choice(Choice::Demo));
    r.userDemoFile = controls.text(Field::DemoEdit);
    r.filtering = itemValue<TextureFiltering>(Choice::AF, controls.choice(Choice::AF));
    r.antialiasing = itemValue<Antialiasing>(Choice::AA, controls.choice(Choice::AA));
    r.heapSize = itemValue<HeapSize>(Choice::Heapsize, controls.choice(Choice::Heapsize));
    r.refreshRate = itemValue<RefreshRate>(Choice::Refresh, controls.choice(Choice::Refresh));
    r.directX = itemValue<DirectXLevel>(Choice::DirectX, controls.choice(Choice::DirectX));
    r.fastZ = controls.checked(Check::FastZ);
    r.minimizeHddUse = controls.checked(Check::HDDUse);
    r.additionalInfo = controls.checked(Check::AddInfo);
    r.note = controls.text(Field::NoteEdit);
    r.resultsFolder = controls.text(Field::ResEdit);
    sizesOf(controls, r);
    r.passes = passesOf(controls);
    r.reportSummary = controls.checked(Check::ReportSummary);
    r.resultFiles = controls.checked(Check::ResultFiles);
    return r;
}

}  // namespace vantor
