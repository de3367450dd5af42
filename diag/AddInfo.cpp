#include "diag/AddInfo.h"

#include "core/AppContext.h"

namespace vantor {

void AddInfoBoxClick(AppContext& ctx) {
    if (!ctx.view.checked(Check::AddInfo)) return;
    ctx.store.open();
    if (ctx.store.read(sv::OS).empty()) {
        ctx.view.setChecked(Check::AddInfo, false);
        ctx.dialogs.message(kAddInfoFirstMessage);
    } else {
        ctx.store.write(sv::Addinfo, "1");
    }
}

}  // namespace vantor
