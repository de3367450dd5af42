#pragma once
// The Information window (TForm2) as its logic sees it: the memo, the status
// bar, the two buttons. The Qt window implements it; vantor-cli and the tests
// implement it too.

#include <string>
#include <vector>

namespace vantor {

class HardwareInfoView {
public:
    virtual ~HardwareInfoView() = default;

    // The memo (infomemo) shows these lines.
    virtual void showMemo(const std::vector<std::string>& lines) = 0;
    virtual void setStatus(const std::string& text) = 0;
    // "Get info" (Button1) and "Save & Close" (Button3) together.
    virtual void setButtonsEnabled(bool enabled) = 0;
    virtual void repaint() = 0;
    virtual void closeWindow() = 0;
};

}  // namespace vantor
