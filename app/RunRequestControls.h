#pragma once
// The window's option controls and a run request: the request the controls
// show, as the run button takes it.

#include "core/MainView.h"
#include "core/RunRequest.h"

namespace vantor {

RunRequest requestFromControls(const MainView& controls);

}  // namespace vantor
