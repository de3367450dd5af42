#include "app/OptionHandlers.h"

#include "app/SettingsCodec.h"
#include "core/Resolutions.h"
#include "platform/FileOps.h"
#include "platform/SystemInfo.h"

#include <array>

namespace vantor {

int computePhysMemMB(std::uint32_t totalBytes) {
    int mb = static_cast<int>(totalBytes / 1048576u);
    if (mb > 1500) mb = 1500;
    if (mb > 950 && mb < 1100) mb = 1024;
    if (mb > 470 && mb < 550) mb = 512;
    if (mb > 200 && mb < 290) mb = 256;
    if (mb > 90 && mb < 150) mb = 128;
    return mb;
}

namespace {

constexpr std::array<int, 5> kHeapSizesMB = {64, 128, 256, 512, 1024};
constexpr const char* kConfigFilter = "Half-Life 2 config file (*.cfg)|*.cfg";
constexpr const char* kDemoFilter = "Half-Life 2 demo file (*.dem)|*.dem";
constexpr int kUserDemoPosition = static_cast<int>(DemoChoice::UserFile);

// The item of half the memory, for the memory figures that have one.
int heapItemForHalfOf(int physMemMB) {
    switch (physMemMB) {
        case 128: return 0;
        case 256: return 1;
        case 512: return 2;
        case 1024: return 3;
        default: return -1;
    }
}

}  // namespace

// ---- writers ----------------------------------------------------------------

namespace {

// Writes the code of the chosen item; false (nothing written) without a choice.
bool writeChoice(AppContext& ctx, const MainView& controls, Choice c) {
    const int index = controls.choice(c);
    const std::string code = codeOf(c, index);
    if (code.empty()) return false;
    ctx.store.open();
    ctx.store.write(valueNameOf(c), code);
    return true;
}

void writeCheck(AppContext& ctx, const MainView& controls, Check c, const char* name) {
    ctx.store.open();
    ctx.store.write(name, controls.checked(c) ? "1" : "0");
}

void writeNonEmptyText(AppContext& ctx, const MainView& controls, Field f, const char* name) {
    const std::string text = controls.text(f);
    if (text.empty()) return;
    ctx.store.open();
    ctx.store.write(name, text);
}

}  // namespace

void OptionHandlers::filteringChanged() {
    // The first six items advise "From System"; "From System" itself is silent.
    if (writeChoice(ctx_, controls_, Choice::AF) && controls_.choice(Choice::AF) <= 5)
        ctx_.dialogs.message(kFilteringAdvice);
}

void OptionHandlers::antialiasingChanged() {
    if (writeChoice(ctx_, controls_, Choice::AA) && controls_.choice(Choice::AA) <= 4)
        ctx_.dialogs.message(kFilteringAdvice);
}

void OptionHandlers::heapSizeChanged() {
    const int index = controls_.choice(Choice::Heapsize);
    const int sizeMB =
        index >= 0 && index < static_cast<int>(kHeapSizesMB.size()) ? kHeapSizesMB[static_cast<std::size_t>(index)] : 0;
    const std::uint32_t bytes = ctx_.physicalMemory ? ctx_.physicalMemory() : totalPhysicalMemory32();
    const int physMemMB = computePhysMemMB(bytes);
    // A platform that cannot tell its memory (0) gets no advice: "0 MB" would be wrong.
    if (physMemMB > 0 && sizeMB >= physMemMB) {
        ctx_.dialogs.message("The recommended (maximum) size: " + std::to_string(physMemMB / 2) + " MB");
        if (int half = heapItemForHalfOf(physMemMB); half >= 0) controls_.setChoice(Choice::Heapsize, half);
    }
    writeChoice(ctx_, controls_, Choice::Heapsize);
}

void OptionHandlers::refreshChanged() { writeChoice(ctx_, controls_, Choice::Refresh); }
void OptionHandlers::directXChanged() { writeChoice(ctx_, controls_, Choice::DirectX); }
void OptionHandlers::detailChanged() { detailChosen(); }
void OptionHandlers::demoChanged() { demoChosen(); }

void OptionHandlers::detailChosen() {
    const int level = controls_.choice(Choice::Detail);
    const bool custom = level == 2;
    controls_.setEnabled(Control::DetailEdit, custom);
    controls_.setEnabled(Control::DetailButton, custom);
    if (level < 0 || level > 2) return;
    ctx_.store.open();
    ctx_.store.write(sv::Detail, std::to_string(level + 1));
}

void OptionHandlers::chooseCustomConfig() {
    auto file = ctx_.dialogs.openFile("Open", kConfigFilter);
    if (!file) return;
    controls_.setText(Field::DetailEdit, *file);
    ctx_.store.open();
    ctx_.store.write(sv::CustomConfig, *file);
}

void OptionHandlers::demoChosen() {
    const int position = controls_.choice(Choice::Demo);
    const bool user = position == kUserDemoPosition;
    controls_.setEnabled(Control::DemoEdit, user);
    controls_.setEnabled(Control::DemoEditButton, user);
    if (position < 0 || position > kUserDemoPosition) return;
    ctx_.store.open();
    ctx_.store.write(sv::Demo, std::to_string(position + 1));
}

void OptionHandlers::chooseUserDemo() {
    auto file = ctx_.dialogs.openFile("Open", kDemoFilter);
    if (!file) return;
    controls_.setText(Field::DemoEdit, *file);
    if (file->empty()) return;
    ctx_.store.open();
    ctx_.store.write(sv::Demoname, *file);
}

void OptionHandlers::storeResolutions() {
    ctx_.store.open();
    for (int i = 0; i < kResolutionCount; ++i)
        ctx_.store.write(sv::Resolutions[i], controls_.resolutionChecked(i) ? "1" : "0");
}

void OptionHandlers::storeDetail() { writeChoice(ctx_, controls_, Choice::Detail); }
void OptionHandlers::storeDemo() { writeChoice(ctx_, controls_, Choice::Demo); }
void OptionHandlers::storeFiltering() { writeChoice(ctx_, controls_, Choice::AF); }
void OptionHandlers::storeAntialiasing() { writeChoice(ctx_, controls_, Choice::AA); }
void OptionHandlers::storeHeapSize() { writeChoice(ctx_, controls_, Choice::Heapsize); }
void OptionHandlers::storeRefresh() { writeChoice(ctx_, controls_, Choice::Refresh); }
void OptionHandlers::storeDirectX() { writeChoice(ctx_, controls_, Choice::DirectX); }
void OptionHandlers::storeFastZ() { writeCheck(ctx_, controls_, Check::FastZ, sv::FastZ); }
void OptionHandlers::storeHddUse() { writeCheck(ctx_, controls_, Check::HDDUse, sv::HDDUsage); }
void OptionHandlers::storeResultsFolder() { writeNonEmptyText(ctx_, controls_, Field::ResEdit, sv::ResultPath); }
void OptionHandlers::storeNote() { writeNonEmptyText(ctx_, controls_, Field::NoteEdit, sv::Note); }

// ---- passes, today's resolutions, report extras ---------------------------------

void OptionHandlers::passesChanged() { writeChoice(ctx_, controls_, Choice::Passes); }
void OptionHandlers::thresholdChanged() { writeChoice(ctx_, controls_, Choice::AdaptiveThreshold); }
void OptionHandlers::capChanged() { writeChoice(ctx_, controls_, Choice::AdaptiveCap); }
void OptionHandlers::adaptiveClicked() { writeCheck(ctx_, controls_, Check::AdaptivePasses, sv::AdaptivePasses); }
void OptionHandlers::reportSummaryClicked() { writeCheck(ctx_, controls_, Check::ReportSummary, sv::ReportSummary); }
void OptionHandlers::resultFilesClicked() { writeCheck(ctx_, controls_, Check::ResultFiles, sv::ResultFiles); }

void OptionHandlers::todaySizesChanged() {
    ctx_.store.open();
    for (int i = 0; i < kTodayResolutionCount; ++i)
        ctx_.store.write(sv::TodayResolutions[i], controls_.todayResolutionChecked(i) ? "1" : "0");
}

bool OptionHandlers::customSizeEdited() {
    const std::string text = controls_.text(Field::CustomResolution);
    ctx_.store.open();
    if (text.find_first_not_of(" \t") == std::string::npos) {
        // Emptied: no custom size, and its box goes off.
        ctx_.store.write(sv::CustomResolution, "");
        if (controls_.checked(Check::CustomResolution)) {
            controls_.setChecked(Check::CustomResolution, false);
            ctx_.store.write(sv::CustomResolutionOn, "0");
        }
        return false;
    }
    const auto parsed = parseResolution(text);
    if (!parsed.value) {
        ctx_.validationMessage(parsed.error);
        return false;
    }
    controls_.setText(Field::CustomResolution, resolutionText(*parsed.value));
    ctx_.store.write(sv::CustomResolution, resolutionCode(*parsed.value));
    return true;
}

void OptionHandlers::customSizeClicked() {
    if (controls_.checked(Check::CustomResolution) && !customSizeEdited()) {
        controls_.setChecked(Check::CustomResolution, false);
        if (controls_.text(Field::CustomResolution).find_first_not_of(" \t") == std::string::npos)
            ctx_.validationMessage(parseResolution("").error);
    }
    writeCheck(ctx_, controls_, Check::CustomResolution, sv::CustomResolutionOn);
}

// ---- results folder -----------------------------------------------------------

void OptionHandlers::chooseResultsFolder() {
    ctx_.store.open();
    auto chosen = ctx_.dialogs.chooseFolder("Results folder");
    if (!chosen || chosen->empty()) return;
    std::string folder = *chosen;
    // Every folder ends with the separator; a root ("C:\", "/") already has it
    // and is kept as chosen.
    if (folder.back() != kPathSep) folder += kPathSep;
    controls_.setText(Field::ResEdit, folder);
    ctx_.store.write(sv::ResultPath, controls_.text(Field::ResEdit));
}

// ---- menu, links ------------------------------------------------------------------

void OptionHandlers::showPage(int index) {
    if (index < 0 || index > 7) return;
    controls_.showPage(index);
}

void OptionHandlers::showAbout() { controls_.showAboutView(); }

namespace {
void open(AppContext& ctx, const std::string& target) {
    if (ctx.shellOpen)
        ctx.shellOpen(target);
    else
        shellOpen(target);
}
}  // namespace

void OptionHandlers::openHelp() { open(ctx_, ctx_.paths.BenchPath + "help.htm"); }
void OptionHandlers::openSupport() { open(ctx_, kSupportAddress); }
void OptionHandlers::openMail() { open(ctx_, kAuthorMail); }
void OptionHandlers::openSponsor() { open(ctx_, kSponsorAddress); }

void OptionHandlers::openReport(const std::string& file) {
    if (!file.empty()) open(ctx_, file);
}

void OptionHandlers::openReportFolder(const std::string& file) {
    const auto pos = file.find_last_of(kPathSep);
    if (pos != std::string::npos) open(ctx_, file.substr(0, pos + 1));
}

}  // namespace vantor
