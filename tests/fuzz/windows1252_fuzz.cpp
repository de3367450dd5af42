// The Windows-1252 conversion: one line stays one line, whatever bytes it
// holds; every Windows-1252 byte that has a character comes back unchanged.

#include "platform/TextFile.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace vantor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(fuzz::asText(data, size));

    // As UTF-8 written into a file: exactly one line break, at the end.
    const std::string encoded = encodeTextLines({text});
    FUZZ_CHECK(encoded.size() >= 2 && encoded.compare(encoded.size() - 2, 2, "\r\n") == 0);
    FUZZ_CHECK(encoded.find_first_of("\r\n") == encoded.size() - 2, text);
    const std::string bytes = toWindows1252(text);
    FUZZ_CHECK(bytes.size() <= text.size());
    // A control character never appears that the text did not hold as such.
    for (char c : {'\0', '\r', '\n'})
        if (bytes.find(c) != std::string::npos) FUZZ_CHECK(text.find(c) != std::string::npos, text);

    // As Windows-1252 bytes read back: UTF-8 that converts back to the bytes
    // (the five undefined bytes become '?').
    const std::string utf8 = fromWindows1252(text);
    std::string expected = text;
    for (auto& c : expected) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) c = '?';
    }
    FUZZ_CHECK(toWindows1252(utf8) == expected, text);
    return 0;
}
