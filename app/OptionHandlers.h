#pragma once
// The option pages' logic: persistence of each control on change and on mouse
// leave, the heap-size check, the filtering advice, the results folder chooser,
// page and About switching, links, help and mail.

#include "core/AppContext.h"
#include "core/MainView.h"

#include <cstdint>
#include <string>

namespace vantor {

// The physical memory figure from a byte count (MB, capped at 1500, snapped to
// 1024/512/256/128 in the bands around them).
int computePhysMemMB(std::uint32_t totalBytes);

inline constexpr const char* kSupportAddress = "https://help.valve.example/";
inline constexpr const char* kSponsorAddress = "https://sponsor.quorvane.example/";
inline constexpr const char* kAuthorMail = "mailto:pellmarr@quorvane.example";
inline constexpr const char* kFilteringAdvice =
    "Please use the \"From System\" settings, 'cause the operation of others settings isn't warrantable. "
    "From system setting lets the system to handle the filtering. This can be defined in the menu of "
    "Half-Life 2, or at the Display Properties of the OS.";

class OptionHandlers {
public:
    OptionHandlers(AppContext& ctx, MainView& controls) : ctx_(ctx), controls_(controls) {}

    // On change (the user's choice).
    void AFBoxChange();
    void AABoxChange();
    void HeapsizeBoxChange();
    void RefreshBoxChange();
    void DirectXBoxChange();
    void DetailBoxChange();  // the chooser of the game configuration
    void demoChange();       // the demo chooser

    // The choosers: a detail level or demo chosen (by the user, or by program
    // with the same effect) stores its code and enables the file controls of
    // the custom level / the user's demo; the buttons beside them pick a file.
    void DetailBoxChanging();
    void DetailButtonClick();
    void demoChanging();
    void DemoEditButtonClick();

    // On mouse leave.
    void resMouseLeave();
    void DetailBoxMouseLeave();
    void demoMouseLeave();
    void AFBoxMouseLeave();
    void AABoxMouseLeave();
    void HeapsizeBoxMouseLeave();
    void RefreshBoxMouseLeave();
    void DirectXBoxMouseLeave();
    void FastZBoxMouseLeave();
    void HDDUseBoxMouseLeave();
    void ResEditMouseLeave();
    void NoteEditMouseLeave();

    // The options beyond the classic set, stored when they change.
    void PassesBoxChange();
    void ThresholdBoxChange();
    void CapBoxChange();
    void AdaptiveBoxClick();
    void ReportSummaryBoxClick();
    void ResultFilesBoxClick();
    void todayResChange();  // all six of today's resolutions
    // The custom size was edited: a valid one is shown as W×H and stored; an
    // invalid one gets a message and is not stored. Returns whether it is valid.
    bool CustomResolutionEdited();
    // The custom size's box: ticking it needs a valid size.
    void CustomResolutionBoxClick();

    // Results folder chooser.
    void ToolButton5Click();

    // Menu: pages 0..7 and the About view.
    void showPage(int index);
    void showAbout();
    void openHelp();     // BenchPath + "help.htm"
    void openSupport();  // Label8
    void openMail();     // ToolButton4, Label2
    void openSponsor();  // the sponsor banners
    // The report of the last run and its folder.
    void openReport(const std::string& file);
    void openReportFolder(const std::string& file);

private:
    AppContext& ctx_;
    MainView& controls_;
};

}  // namespace vantor
