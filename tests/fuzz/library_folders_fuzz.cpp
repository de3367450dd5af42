// libraryfolders.vdf (KeyValues): any bytes parse or are refused with the line
// of the fault; what parses keeps its nesting within the bound and finds each
// of its own keys.

#include "core/KeyValues.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace vantor;

namespace {

void walk(const std::vector<KeyValue>& entries, const KeyValue* parent, int depth) {
    FUZZ_CHECK(depth <= kMaxKeyValuesDepth + 1);
    for (const auto& e : entries) {
        if (!e.section) FUZZ_CHECK(e.children.empty(), e.key);
        if (parent) {
            const KeyValue* found = parent->find(e.key);
            FUZZ_CHECK(found && keyEquals(found->key, e.key), e.key);
        }
        walk(e.children, &e, depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const KeyValuesResult r = parseKeyValues(fuzz::asText(data, size));
    if (!r.ok) {
        FUZZ_CHECK(r.error.rfind("line ", 0) == 0, r.error);
        return 0;
    }
    walk(r.entries, nullptr, 0);
    return 0;
}
