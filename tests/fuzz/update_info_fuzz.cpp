// The update information file: any text gives values, a method and a file list
// without fault; the version comparison is antisymmetric.

#include "tests/fuzz/FuzzSupport.h"
#include "update/UpdateInfo.h"

using namespace vantor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(fuzz::asText(data, size));
    const UpdateInfo info(text);
    (void)info.version();
    (void)info.message();
    const auto method = info.method();
    FUZZ_CHECK(method == TUpgradeMethod::SelfUpgrade || method == TUpgradeMethod::UseExternalSetup ||
               method == TUpgradeMethod::RedirectToURL);
    for (const auto& f : info.files()) {
        FUZZ_CHECK(f.sha256.empty() || f.sha256.size() == 64, f.sha256);
        for (char c : f.sha256) FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'), f.sha256);
        const std::string name = UpdateInfo::fileNameOf(f.url);
        if (UpdateInfo::isPlainFileName(name))
            FUZZ_CHECK(name.find_first_of("/\\:") == std::string::npos && name != "." && name != "..", name);
    }
    // Two versions from the text: the first line and the rest.
    const std::size_t cut = text.find('\n');
    const std::string a = text.substr(0, cut), b = cut == std::string::npos ? std::string() : text.substr(cut + 1);
    FUZZ_CHECK(UpdateInfo::CompareVersions(a, b) == -UpdateInfo::CompareVersions(b, a), a + " / " + b);
    FUZZ_CHECK(UpdateInfo::CompareVersions(a, a) == 0, a);
    return 0;
}
