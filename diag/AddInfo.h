#pragma once
// The guard of "Add additional information": it can only be turned on once a
// hardware description has been collected and stored.

namespace vantor {

struct AppContext;

inline constexpr const char* kAddInfoFirstMessage =
    "Firstly, click the \"View additional information\" and the \"Get info\" button to collect the "
    "necessary information. Then close that window, and click to this checkbox again.";

// AddInfoBoxClick: runs on every change of the box's state.
void AddInfoBoxClick(AppContext& ctx);

}  // namespace vantor
