#include "core/Controls.h"

#include <span>

namespace vantor {
namespace {

std::span<const std::string_view> itemsOf(Choice choice) {
    switch (choice) {
        case Choice::Detail: return kDetailItems;
        case Choice::Demo: return kDemoItems;
        case Choice::AF: return kAFItems;
        case Choice::AA: return kAAItems;
        case Choice::Heapsize: return kHeapsizeItems;
        case Choice::Refresh: return kRefreshItems;
        case Choice::DirectX: return kDirectXItems;
        case Choice::Passes: return kPassesItems;
        case Choice::AdaptiveThreshold: return kThresholdItems;
        case Choice::AdaptiveCap: return kCapItems;
    }
    return {};
}

}  // namespace

std::string_view choiceItemText(Choice choice, int index) {
    auto items = itemsOf(choice);
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return {};
    return items[static_cast<std::size_t>(index)];
}

int choiceItemCount(Choice choice) { return static_cast<int>(itemsOf(choice).size()); }

std::string resolutionText(int index) {
    if (index < 0 || index >= kResolutionCount) return {};
    return std::to_string(kWidths[index]) + "×" + std::to_string(kHeights[index]);
}

}  // namespace vantor
