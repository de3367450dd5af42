#pragma once
// The stored codes of the option controls, the seeding of new values by program
// version, and the decoding of the stored values into the controls at start-up.

#include "core/Controls.h"
#include "core/MainView.h"
#include "core/Resolutions.h"
#include "core/RunRequest.h"
#include "core/SettingsStore.h"

#include <functional>
#include <string>
#include <string_view>

namespace vantor {

// The stored code of a choice's item ("Sys", "1".."6", "64000", ...); empty for
// -1 or an index out of range.
std::string codeOf(Choice choice, int index);
// The item index of a stored code; -1 when the code matches no item (exact,
// case-sensitive).
int indexOfCode(Choice choice, const std::string& code);

// The code a choice shows while nothing is stored for it (what a new user
// sees); empty for a choice without one.
std::string_view freshDefaultCode(Choice choice);
// Whether any resolution value is stored (the classic six, today's sizes, the
// user's own); without one, today's 1280×720 is ticked.
bool anyResolutionStored(SettingsStore& store);

// The settings value name of a choice (Detail, Demo, AFLevel, AALevel, Heapsize,
// Refresh, DXLevel).
const char* valueNameOf(Choice choice);

// Applies the seeding table for the stored Programversion. The store must be open.
void applySeeding(SettingsStore& store);

// What decoding needs beyond the view: the handlers that run when a control is
// set by program, and the step between Note and DXLevel.
struct DecodeHooks {
    std::function<void()> detailChosen;    // detailChosen
    std::function<void()> demoChosen;      // demoChosen
    std::function<void()> addInfoChecked;  // additionalInfoClicked
    std::function<void()> afterNote;       // deletes SteamPath + "vantor.bat"
    bool hl2Known = false;                 // Addinfo is read only then
};

// Decodes every stored value into the controls in the fixed order. The store
// must be open. Throws SettingsError for a value of another type.
void decodeSettings(SettingsStore& store, MainView& view, const DecodeHooks& hooks);
// The stored options as a run request, by the same rules as decodeSettings
// (a front end without controls: vantor-cli). afterNote runs where
// decodeSettings runs its hook of that name. Throws SettingsError for a value
// of another type.
RunRequest decodeRequest(SettingsStore& store, const std::function<void()>& afterNote = {});

// The options beyond the classic set (passes, today's resolutions, report
// extras); decodeSettings ends with it.
void decodeRunOptions(SettingsStore& store, MainView& view);

}  // namespace vantor
