#pragma once
// Valve's KeyValues text format, as Steam writes its own files
// (steamapps/libraryfolders.vdf, appmanifest_*.acf):
//
//   "libraryfolders"            a key followed by a section in braces,
//   {                           or by a value
//       "0"
//       {
//           "path"   "C:\\Program Files (x86)\\Steam"
//       }
//   }
//
// Keys and values are quoted (escapes \n \t \\ \" are turned into their
// character, any other backslash is kept) or unquoted (ending at white space,
// '{', '}' or '"'). "//" starts a comment to the end of the line; a condition in
// brackets after a token ("[$WIN32]") is skipped. "#include" and "#base" lines
// are kept as plain keys: nothing is read from other files.
//
// The parser takes any bytes: it never reads outside the text and refuses
// input it does not understand with the line of the fault. The caller bounds
// the size of the text; nesting is bounded by kMaxKeyValuesDepth.

#include <string>
#include <string_view>
#include <vector>

namespace vantor {

inline constexpr int kMaxKeyValuesDepth = 32;

struct KeyValue {
    std::string key;
    std::string value;               // empty for a section
    bool section = false;            // a key followed by braces
    std::vector<KeyValue> children;  // the entries of a section, in file order

    // The first entry of this section whose key equals name ignoring ASCII
    // case; null when there is none.
    const KeyValue* find(std::string_view name) const;
};

struct KeyValuesResult {
    bool ok = false;
    std::vector<KeyValue> entries;  // the top-level entries, in file order
    std::string error;              // "line N: what is wrong" when !ok
};

KeyValuesResult parseKeyValues(std::string_view text);

// ASCII case-insensitive equality of two keys.
bool keyEquals(std::string_view a, std::string_view b);

}  // namespace vantor
