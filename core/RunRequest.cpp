#include "core/RunRequest.h"

#include <algorithm>

namespace vantor {

int choiceIndex(const RunRequest& r, Choice list) {
    switch (list) {
        case Choice::Detail: return itemIndex(r.detail);
        case Choice::Demo: return itemIndex(r.demo);
        case Choice::AF: return itemIndex(r.filtering);
        case Choice::AA: return itemIndex(r.antialiasing);
        case Choice::Heapsize: return itemIndex(r.heapSize);
        case Choice::Refresh: return itemIndex(r.refreshRate);
        case Choice::DirectX: return itemIndex(r.directX);
        case Choice::Passes: return r.passes.passes - 1;
        case Choice::AdaptiveThreshold: return r.passes.thresholdPercent - 1;
        case Choice::AdaptiveCap: return r.passes.cap - 2;
    }
    return -1;
}

void setChoiceIndex(RunRequest& r, Choice list, int index) {
    switch (list) {
        case Choice::Detail: r.detail = itemValue<DetailLevel>(list, index); break;
        case Choice::Demo: r.demo = itemValue<DemoChoice>(list, index); break;
        case Choice::AF: r.filtering = itemValue<TextureFiltering>(list, index); break;
        case Choice::AA: r.antialiasing = itemValue<Antialiasing>(list, index); break;
        case Choice::Heapsize: r.heapSize = itemValue<HeapSize>(list, index); break;
        case Choice::Refresh: r.refreshRate = itemValue<RefreshRate>(list, index); break;
        case Choice::DirectX: r.directX = itemValue<DirectXLevel>(list, index); break;
        case Choice::Passes: r.passes.passes = index + 1; break;
        case Choice::AdaptiveThreshold: r.passes.thresholdPercent = index + 1; break;
        case Choice::AdaptiveCap: r.passes.cap = index + 2; break;
    }
}

bool switchOn(const RunRequest& r, Check box) {
    switch (box) {
        case Check::FastZ: return r.fastZ;
        case Check::HDDUse: return r.minimizeHddUse;
        case Check::AddInfo: return r.additionalInfo;
        case Check::AdaptivePasses: return r.passes.adaptive;
        case Check::ReportSummary: return r.reportSummary;
        case Check::ResultFiles: return r.resultFiles;
        case Check::CustomResolution: return false;
    }
    return false;
}

void setSwitch(RunRequest& r, Check box, bool on) {
    switch (box) {
        case Check::FastZ: r.fastZ = on; break;
        case Check::HDDUse: r.minimizeHddUse = on; break;
        case Check::AddInfo: r.additionalInfo = on; break;
        case Check::AdaptivePasses: r.passes.adaptive = on; break;
        case Check::ReportSummary: r.reportSummary = on; break;
        case Check::ResultFiles: r.resultFiles = on; break;
        case Check::CustomResolution: break;
    }
}

std::vector<Resolution> orderedSizes(std::vector<Resolution> sizes) {
    std::sort(sizes.begin(), sizes.end());
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    return sizes;
}

}  // namespace vantor
