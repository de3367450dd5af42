#pragma once
// The guard of "Add additional information": it can only be turned on once a
// hardware description has been collected and stored.

namespace vantor {

struct AppContext;

inline constexpr const char* kAddInfoFirstMessage =
    "Firstly, click the \"View additional information\" and the \"Get info\" button to collect the "
    "necessary information. Then close that window, and click to this checkbox again.";

// additionalInfoClicked: runs on every change of the box's state, ticked or not.
// Returns whether the box may stay as it is: false when it was ticked before
// a description is stored (the message says why; the caller unticks it).
bool additionalInfoClicked(AppContext& ctx, bool ticked);

}  // namespace vantor
