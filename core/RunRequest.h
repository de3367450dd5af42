#pragma once
// One benchmark as the user asked for it: every option a run reads, as plain
// values. A front end builds it from its controls (the window) or from the
// stored settings and its options (vantor-cli); the sequencer, the game
// configuration, the launcher, the report, debug mode and the history take it.
// The enumerators follow the order of the window's lists, so an item's index
// and its value are the same number.

#include "core/Controls.h"
#include "core/PassPolicy.h"
#include "core/Resolutions.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

enum class DetailLevel { Maximum, Minimum, Custom };
enum class DemoChoice { QuorvaneCoast, QuorvaneD13c17, Raza3zDemo4, Raza3zDemo5, Raza3zDemo6, UserFile };
enum class TextureFiltering {
    Bilinear,
    Trilinear,
    Anisotropic2,
    Anisotropic4,
    Anisotropic8,
    Anisotropic16,
    FromSystem
};
enum class Antialiasing { None, Samples2, Samples4, Samples6, Samples8, FromSystem };
enum class HeapSize { Mb64, Mb128, Mb256, Mb512, Mb1024 };
enum class RefreshRate { Hz60, Hz70, Hz75, Hz85 };
enum class DirectXLevel { DirectX7, DirectX8, DirectX81, DirectX9 };

struct RunRequest {
    // Nothing chosen is a refusal of the run (unchosenOptionMessage), never a
    // value handed to the game.
    std::optional<DetailLevel> detail;
    std::string customConfigFile;  // DetailLevel::Custom: the user's configuration file
    std::optional<DemoChoice> demo;
    std::string userDemoFile;  // DemoChoice::UserFile: the user's demo file
    std::optional<TextureFiltering> filtering;
    std::optional<Antialiasing> antialiasing;
    std::optional<HeapSize> heapSize;
    std::optional<RefreshRate> refreshRate;
    std::optional<DirectXLevel> directX;

    bool fastZ = false;
    bool minimizeHddUse = false;
    bool additionalInfo = false;  // the stored hardware description in the report
    std::string note;
    std::string resultsFolder;  // empty: the program's own "Benchmark" folder

    // The sizes to play, ordered by width, then height, each once; sizeError
    // holds why a size of the user's own was refused (the run is refused then).
    std::vector<Resolution> sizes;
    std::string sizeError;
    PassPolicy passes;
    bool reportSummary = false;
    bool resultFiles = false;

    bool operator==(const RunRequest&) const = default;
};

// The index of a chosen value in its window list; -1 when nothing is chosen.
template <class E>
int itemIndex(const std::optional<E>& value) {
    return value ? static_cast<int>(*value) : -1;
}
// The value of a list index; nothing for -1 or an index out of range.
template <class E>
std::optional<E> itemValue(Choice list, int index) {
    if (index < 0 || index >= choiceItemCount(list)) return std::nullopt;
    return static_cast<E>(index);
}
// The window's text of a chosen value ("Anisotropic 16×"); empty when unchosen.
template <class E>
std::string_view itemText(Choice list, const std::optional<E>& value) {
    return choiceItemText(list, itemIndex(value));
}

// A list's choice in the request by the window's list and index (-1: none);
// the pass lists (passes, threshold, cap) set the pass policy.
int choiceIndex(const RunRequest& request, Choice list);
void setChoiceIndex(RunRequest& request, Choice list, int index);
// A switch of the request by the window's check box (the box of the user's own
// size is not one: sizes are set as sizes).
bool switchOn(const RunRequest& request, Check box);
void setSwitch(RunRequest& request, Check box, bool on);

// The sizes as a run plays them: the ticked ones in width order, then height,
// each once.
std::vector<Resolution> orderedSizes(std::vector<Resolution> sizes);

}  // namespace vantor
