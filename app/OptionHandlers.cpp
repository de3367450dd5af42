#include "app/OptionHandlers.h"

#include "app/SettingsCodec.h"
#include "core/Resolutions.h"
#include "platform/FileOps.h"
#include "platform/SystemInfo.h"
#include "run/DemoInstaller.h"
#include "run/GameConfig.h"

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
bool writeChoice(AppContext& ctx, Choice c) {
    const int index = ctx.view.choice(c);
    const std::string code = codeOf(c, index);
    if (code.empty()) return false;
    ctx.store.open();
    ctx.store.write(valueNameOf(c), code);
    return true;
}

void writeCheck(AppContext& ctx, Check c, const char* name) {
    ctx.store.open();
    ctx.store.write(name, ctx.view.checked(c) ? "1" : "0");
}

void writeNonEmptyText(AppContext& ctx, Field f, const char* name) {
    const std::string text = ctx.view.text(f);
    if (text.empty()) return;
    ctx.store.open();
    ctx.store.write(name, text);
}

}  // namespace

void OptionHandlers::AFBoxChange() {
    // The first six items advise "From System"; "From System" itself is silent.
    if (writeChoice(ctx_, Choice::AF) && ctx_.view.choice(Choice::AF) <= 5) ctx_.dialogs.message(kFilteringAdvice);
}

void OptionHandlers::AABoxChange() {
    if (writeChoice(ctx_, Choice::AA) && ctx_.view.choice(Choice::AA) <= 4) ctx_.dialogs.message(kFilteringAdvice);
}

void OptionHandlers::HeapsizeBoxChange() {
    const int index = ctx_.view.choice(Choice::Heapsize);
    const int sizeMB =
        index >= 0 && index < static_cast<int>(kHeapSizesMB.size()) ? kHeapSizesMB[static_cast<std::size_t>(index)] : 0;
    const std::uint32_t bytes = ctx_.physicalMemory ? ctx_.physicalMemory() : totalPhysicalMemory32();
    const int physMemMB = computePhysMemMB(bytes);
    // A platform that cannot tell its memory (0) gets no advice: "0 MB" would be wrong.
    if (physMemMB > 0 && sizeMB >= physMemMB) {
        ctx_.dialogs.message("The recommended (maximum) size: " + std::to_string(physMemMB / 2) + " MB");
        if (int half = heapItemForHalfOf(physMemMB); half >= 0) ctx_.view.setChoice(Choice::Heapsize, half);
    }
    writeChoice(ctx_, Choice::Heapsize);
}

void OptionHandlers::RefreshBoxChange() { writeChoice(ctx_, Choice::Refresh); }
void OptionHandlers::DirectXBoxChange() { writeChoice(ctx_, Choice::DirectX); }
void OptionHandlers::DetailBoxChange() { config_.DetailBoxChanging(); }
void OptionHandlers::demoChange() { demos_.demoChanging(); }

void OptionHandlers::resMouseLeave() {
    ctx_.store.open();
    for (int i = 0; i < kResolutionCount; ++i)
        ctx_.store.write(sv::Resolutions[i], ctx_.view.resolutionChecked(i) ? "1" : "0");
}

void OptionHandlers::DetailBoxMouseLeave() { writeChoice(ctx_, Choice::Detail); }
void OptionHandlers::demoMouseLeave() { writeChoice(ctx_, Choice::Demo); }
void OptionHandlers::AFBoxMouseLeave() { writeChoice(ctx_, Choice::AF); }
void OptionHandlers::AABoxMouseLeave() { writeChoice(ctx_, Choice::AA); }
void OptionHandlers::HeapsizeBoxMouseLeave() { writeChoice(ctx_, Choice::Heapsize); }
void OptionHandlers::RefreshBoxMouseLeave() { writeChoice(ctx_, Choice::Refresh); }
void OptionHandlers::DirectXBoxMouseLeave() { writeChoice(ctx_, Choice::DirectX); }
void OptionHandlers::FastZBoxMouseLeave() { writeCheck(ctx_, Check::FastZ, sv::FastZ); }
void OptionHandlers::HDDUseBoxMouseLeave() { writeCheck(ctx_, Check::HDDUse, sv::HDDUsage); }
void OptionHandlers::ResEditMouseLeave() { writeNonEmptyText(ctx_, Field::ResEdit, sv::ResultPath); }
void OptionHandlers::NoteEditMouseLeave() { writeNonEmptyText(ctx_, Field::NoteEdit, sv::Note); }

// ---- passes, today's resolutions, report extras ---------------------------------

void OptionHandlers::PassesBoxChange() { writeChoice(ctx_, Choice::Passes); }
void OptionHandlers::ThresholdBoxChange() { writeChoice(ctx_, Choice::AdaptiveThreshold); }
void OptionHandlers::CapBoxChange() { writeChoice(ctx_, Choice::AdaptiveCap); }
void OptionHandlers::AdaptiveBoxClick() { writeCheck(ctx_, Check::AdaptivePasses, sv::AdaptivePasses); }
void OptionHandlers::ReportSummaryBoxClick() { writeCheck(ctx_, Check::ReportSummary, sv::ReportSummary); }
void OptionHandlers::ResultFilesBoxClick() { writeCheck(ctx_, Check::ResultFiles, sv::ResultFiles); }

void OptionHandlers::todayResChange() {
    ctx_.store.open();
    for (int i = 0; i < kTodayResolutionCount; ++i)
        ctx_.store.write(sv::TodayResolutions[i], ctx_.view.todayResolutionChecked(i) ? "1" : "0");
}

bool OptionHandlers::CustomResolutionEdited() {
    const std::string text = ctx_.view.text(Field::CustomResolution);
    ctx_.store.open();
    if (text.find_first_not_of(" \t") == std::string::npos) {
        // Emptied: no custom size, and its box goes off.
        ctx_.store.write(sv::CustomResolution, "");
        if (ctx_.view.checked(Check::CustomResolution)) {
            ctx_.view.setChecked(Check::CustomResolution, false);
            ctx_.store.write(sv::CustomResolutionOn, "0");
        }
        return false;
    }
    const auto parsed = parseResolution(text);
    if (!parsed.value) {
        ctx_.validationMessage(parsed.error);
        return false;
    }
    ctx_.view.setText(Field::CustomResolution, resolutionText(*parsed.value));
    ctx_.store.write(sv::CustomResolution, resolutionCode(*parsed.value));
    return true;
}

void OptionHandlers::CustomResolutionBoxClick() {
    if (ctx_.view.checked(Check::CustomResolution) && !CustomResolutionEdited()) {
        ctx_.view.setChecked(Check::CustomResolution, false);
        if (ctx_.view.text(Field::CustomResolution).find_first_not_of(" \t") == std::string::npos)
            ctx_.validationMessage(parseResolution("").error);
    }
    writeCheck(ctx_, Check::CustomResolution, sv::CustomResolutionOn);
}

// ---- results folder -----------------------------------------------------------

void OptionHandlers::ToolButton5Click() {
    ctx_.store.open();
    auto chosen = ctx_.dialogs.chooseFolder("Results folder");
    if (!chosen || chosen->empty()) return;
    std::string folder = *chosen;
    // Every folder ends with the separator; a root ("C:\", "/") already has it
    // and is kept as chosen.
    if (folder.back() != kPathSep) folder += kPathSep;
    ctx_.view.setText(Field::ResEdit, folder);
    ctx_.store.write(sv::ResultPath, ctx_.view.text(Field::ResEdit));
}

// ---- menu, links ------------------------------------------------------------------

void OptionHandlers::showPage(int index) {
    if (index < 0 || index > 7) return;
    ctx_.view.showPage(index);
}

void OptionHandlers::showAbout() { ctx_.view.showAboutView(); }

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
