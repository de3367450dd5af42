#include "diag/AddInfo.h"

#include "core/AppContext.h"

namespace vantor {

bool additionalInfoClicked(AppContext& ctx, bool ticked) {
    if (!ticked) return true;
    ctx.store.open();
    if (ctx.store.read(sv::OS).empty()) {
        ctx.dialogs.message(kAddInfoFirstMessage);
        return false;
    }
    ctx.store.write(sv::Addinfo, "1");
    return true;
}

}  // namespace vantor
