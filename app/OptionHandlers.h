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
    void filteringChanged();
    void antialiasingChanged();
    void heapSizeChanged();
    void refreshChanged();
    void directXChanged();
    void detailChanged();  // the chooser of the game configuration
    void demoChanged();    // the demo chooser

    // The choosers: a detail level or demo chosen (by the user, or by program
    // with the same effect) stores its code and enables the file controls of
    // the custom level / the user's demo; the buttons beside them pick a file.
    void detailChosen();
    void chooseCustomConfig();
    void demoChosen();
    void chooseUserDemo();

    // On mouse leave.
    void storeResolutions();
    void storeDetail();
    void storeDemo();
    void storeFiltering();
    void storeAntialiasing();
    void storeHeapSize();
    void storeRefresh();
    void storeDirectX();
    void storeFastZ();
    void storeHddUse();
    void storeResultsFolder();
    void storeNote();

    // The options beyond the classic set, stored when they change.
    void passesChanged();
    void thresholdChanged();
    void capChanged();
    void adaptiveClicked();
    void reportSummaryClicked();
    void resultFilesClicked();
    void todaySizesChanged();  // all six of today's resolutions
    // The custom size was edited: a valid one is shown as W×H and stored; an
    // invalid one gets a message and is not stored. Returns whether it is valid.
    bool customSizeEdited();
    // The custom size's box: ticking it needs a valid size.
    void customSizeClicked();

    // Results folder chooser.
    void chooseResultsFolder();

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
