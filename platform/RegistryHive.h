#pragma once
// The registry kept in one hive file in the .reg text format:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Vantor]
//   "Note"="a \"quoted\" C:\\path"
//   @="the default value"
//   "Flags"=dword:00000001
//
// String values are the registry's strings; \\ and \" are escaped, and so are
// CR, LF and NUL (\r, \n, \0), which a line cannot hold. Every other type
// (dword:, hex:, hex(2):, ... with continuation lines ending in '\') reads as
// RegValueKind::Other and is written back unchanged. Key and value names
// compare case-insensitively and keep the case first used; lookups go through
// a flat index sized from the file's line count, so loading and reading take
// time in proportion to the file. Both
// roots share the one file. Read: UTF-8, LF or CR LF; written: CR LF,
// atomically. A key path holding CR, LF or NUL cannot be written as a key line
// and is refused.
//
// The file is loaded once; every change rewrites it whole. A file that cannot be
// read or parsed reads as empty and is never overwritten: before the first write
// it is renamed aside ("<file>.broken-YYYYMMDD-HHMMSS", one line on stderr); if
// that fails, writes are refused.

#include "platform/Registry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

namespace hive {
// The file as loaded: keys in file order, each with its lines in file order.
struct Entry {
    enum class Kind { String, Other, Comment };
    Kind kind = Kind::String;
    std::string name;  // decoded value name; "" is the default value (@)
    std::string data;  // String: the text; Other, Comment: the file's lines joined by CR LF
};

// Positions of named items, looked up by name without regard to ASCII case:
// open addressing over a flat table of (hash, position) pairs, so a lookup
// touches one slot and the item it names, and growing never rereads a name.
class NameIndex {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    // Room for n names without growing.
    void reserve(std::size_t n);
    // The position whose name (nameAt(position)) equals name, or npos.
    template <class NameAt>
    std::size_t find(std::string_view name, NameAt&& nameAt) const;
    // Adds a name that is not there yet.
    void insert(std::string_view name, std::size_t position);
    std::size_t size() const { return count_; }

    static std::uint32_t hash(std::string_view name);
    static bool same(std::string_view a, std::string_view b);

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t position = 0;  // position + 1; 0 for an empty slot
    };
    void grow(std::size_t slots);
    std::vector<Slot> slots_;  // a power of two, at most 3/4 full
    std::size_t count_ = 0;
};

struct Section {
    std::string header;  // the key as written between the brackets
    std::string id;      // root and path, normalized for comparison
    std::vector<Entry> entries;
    NameIndex byName;  // value names (comments have none)
    Entry* find(std::string_view name);
    const Entry* find(std::string_view name) const;
};
struct Tree {
    std::vector<Section> sections;
    NameIndex byId;  // Section::id
    Section* find(std::string_view id);
    const Section* find(std::string_view id) const;
};

template <class NameAt>
std::size_t NameIndex::find(std::string_view name, NameAt&& nameAt) const {
    if (slots_.empty()) return npos;
    const std::uint32_t h = hash(name);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        const Slot& s = slots_[i];
        if (s.position == 0) return npos;
        if (s.hash == h && same(nameAt(s.position - 1), name)) return s.position - 1;
    }
}
}  // namespace hive

class RegistryHive final : public Registry {
public:
    explicit RegistryHive(std::string path);

    bool createKey(RegRoot root, const std::string& key) override;
    RegValue query(RegRoot root, const std::string& key, const std::string& name) override;
    bool setString(RegRoot root, const std::string& key, const std::string& name, const std::string& value) override;

    std::string writeFailure() const override { return writeFailure_; }

    const std::string& path() const { return path_; }
    // The keys and values as loaded and changed since (for checks).
    const hive::Tree& contents() const { return tree_; }
    // The file was there but could not be read or parsed, and has not been
    // moved aside yet.
    bool damaged() const { return damaged_; }
    // Why it was found damaged ("line 7: unterminated string", ...), empty otherwise.
    const std::string& damageReason() const { return damageReason_; }
    // Where the damaged file was kept, empty until it was moved aside.
    const std::string& keptAsPath() const { return keptAs_; }

private:
    void load();
    bool commit(hive::Tree& next);
    bool moveDamagedAside();

    std::string path_;
    std::vector<std::string> preamble_;  // comment lines before the first key
    hive::Tree tree_;
    bool damaged_ = false;
    bool refusalReported_ = false;
    std::string damageReason_;
    std::string keptAs_;
    std::string writeFailure_;
    std::string scratch_;  // a key's id while it is looked up
};

}  // namespace vantor
