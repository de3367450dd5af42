#include "platform/RegistryHive.h"

#include "platform/FileOps.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace vantor {

namespace hive {

std::uint32_t NameIndex::hash(std::string_view name) {
    std::uint32_t h = 2166136261u;  // FNV-1a of the ASCII lower-case bytes
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        h = (h ^ b) * 16777619u;
    }
    return h;
}

bool NameIndex::same(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x == y) continue;
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

void NameIndex::reserve(std::size_t n) {
    std::size_t slots = 16;
    while (slots / 4 * 3 < n) slots *= 2;
    if (slots > slots_.size()) grow(slots);
}

void NameIndex::grow(std::size_t slots) {
    std::vector<Slot> old(slots, Slot{});
    old.swap(slots_);
    const std::size_t mask = slots - 1;
    for (const Slot& s : old) {
        if (s.position == 0) continue;
        std::size_t i = s.hash & mask;
        while (slots_[i].position != 0) i = (i + 1) & mask;
        slots_[i] = s;
    }
}

void NameIndex::insert(std::string_view name, std::size_t position) {
    if ((count_ + 1) * 4 > slots_.size() * 3) grow(slots_.empty() ? 16 : slots_.size() * 2);
    const std::uint32_t h = hash(name);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = h & mask;
    while (slots_[i].position != 0) i = (i + 1) & mask;
    slots_[i] = Slot{h, static_cast<std::uint32_t>(position + 1)};
    ++count_;
}

Entry* Section::find(std::string_view name) {
    const std::size_t at = byName.find(name, [this](std::size_t p) { return std::string_view(entries[p].name); });
    return at == NameIndex::npos ? nullptr : &entries[at];
}

const Entry* Section::find(std::string_view name) const { return const_cast<Section*>(this)->find(name); }

Section* Tree::find(std::string_view id) {
    const std::size_t at = byId.find(id, [this](std::size_t p) { return std::string_view(sections[p].id); });
    return at == NameIndex::npos ? nullptr : &sections[at];
}

const Section* Tree::find(std::string_view id) const { return const_cast<Tree*>(this)->find(id); }

}  // namespace hive

namespace {

using hive::Entry;
using hive::Section;
using hive::Tree;

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kRoots[] = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT", "HKEY_USERS",
                                       "HKEY_CURRENT_CONFIG"};

const char* rootName(RegRoot root) {
    return root == RegRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The components of a key path given to the interface ("\\SOFTWARE\\X" -> SOFTWARE, X).
std::vector<std::string_view> components(std::string_view key) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t end = key.find('\\', start);
        if (end == std::string_view::npos) end = key.size();
        if (end > start) out.push_back(key.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::string makeId(std::string_view root, const std::vector<std::string_view>& parts, std::size_t count) {
    std::string id(root);
    for (std::size_t i = 0; i < count; ++i) {
        id += '\\';
        id += lower(parts[i]);
    }
    return id;
}

// The id of a key given to the interface, written into out (whose buffer is
// kept from one lookup to the next).
void keyId(std::string& out, RegRoot root, std::string_view key) {
    out.assign(rootName(root));
    for (std::size_t start = 0; start <= key.size();) {
        std::size_t end = key.find('\\', start);
        if (end == std::string_view::npos) end = key.size();
        if (end > start) {
            out += '\\';
            for (char c : key.substr(start, end - start))
                out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        start = end + 1;
    }
}

Section& addSection(Tree& tree, std::string header, std::string id) {
    tree.byId.insert(id, tree.sections.size());
    tree.sections.push_back(Section{std::move(header), std::move(id), {}, {}});
    return tree.sections.back();
}

void addEntry(Section& section, Entry entry) {
    section.byName.insert(entry.name, section.entries.size());
    section.entries.push_back(std::move(entry));
}

// The key's section; a missing key is added with its missing parents.
Section& ensureKey(Tree& tree, RegRoot root, const std::vector<std::string_view>& parts) {
    const std::string rootText = rootName(root);
    if (Section* existing = tree.find(makeId(rootText, parts, parts.size()))) return *existing;
    std::string header = rootText;
    Section* current = nullptr;
    for (std::size_t level = parts.empty() ? 0 : 1; level <= parts.size(); ++level) {
        std::string id = makeId(rootText, parts, level);
        if (level > 0) header += "\\" + std::string(parts[level - 1]);
        current = tree.find(id);
        if (current)
            header = current->header;  // a parent keeps the case it was stored with
        else
            current = &addSection(tree, header, std::move(id));
    }
    return *current;
}

// A key line cannot hold a line break or NUL.
bool writableKeyPath(std::string_view key) { return key.find_first_of(std::string_view("\r\n\0", 3)) == key.npos; }

std::string quotedText(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\0': out += "\\0"; break;
            default: out += c;
        }
    }
    out += '"';
    return out;
}

// Decodes the quoted string that starts at line[pos]; pos ends after its closing quote.
bool parseQuoted(std::string_view line, std::size_t& pos, std::string& out, std::string& error) {
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        // The plain run up to the next quote or escape, in one piece.
        std::size_t run = pos;
        while (run < line.size() && line[run] != '"' && line[run] != '\\') ++run;
        out.append(line.data() + pos, run - pos);
        pos = run;
        if (pos == line.size()) break;
        if (line[pos] == '"') {
            ++pos;
            return true;
        }
        if (++pos == line.size()) break;
        switch (line[pos]) {
            case '\\': out += '\\'; break;
            case '"': out += '"'; break;
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case '0': out += '\0'; break;
            default: error = std::string("unknown escape \\") + line[pos]; return false;
        }
    }
    error = "unterminated string";
    return false;
}

// A type prefix of a value that is not a string: dword:, hex:, hex(2):, ...
bool hasTypePrefix(std::string_view data) {
    std::size_t i = 0;
    while (i < data.size() && ((data[i] >= 'a' && data[i] <= 'z') || (data[i] >= 'A' && data[i] <= 'Z'))) ++i;
    if (i == 0) return false;
    if (i < data.size() && data[i] == '(') {
        std::size_t digits = ++i;
        while (i < data.size() && std::isxdigit(static_cast<unsigned char>(data[i]))) ++i;
        if (i == digits || i >= data.size() || data[i] != ')') return false;
        ++i;
    }
    return i < data.size() && data[i] == ':';
}

bool continues(std::string_view rawLine) {
    std::string_view t = trimmed(rawLine);
    return !t.empty() && t.back() == '\\';
}

struct Parsed {
    std::vector<std::string> preamble;
    Tree tree;
};

// The file's lines, LF or CR LF, one at a time (no list of them is made).
class Lines {
public:
    explicit Lines(std::string_view bytes) : bytes_(bytes) {}
    // The next line without its line break; false at the end.
    bool next(std::string_view& line) {
        if (pos_ >= bytes_.size()) return false;
        std::size_t end = bytes_.find('\n', pos_);
        if (end == std::string_view::npos) end = bytes_.size();
        line = bytes_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos_ = end + 1;
        ++number_;
        return true;
    }
    std::size_t number() const { return number_; }  // of the last line given
    // How many lines follow before the next key line: room for the values of
    // the key that starts here.
    std::size_t linesOfKey() const {
        std::size_t n = 0;
        for (std::size_t pos = pos_; pos < bytes_.size(); ++n) {
            std::size_t first = pos;
            while (first < bytes_.size() && isBlank(bytes_[first])) ++first;
            if (first < bytes_.size() && bytes_[first] == '[') break;
            pos = bytes_.find('\n', pos);
            if (pos == std::string_view::npos) break;
            ++pos;
        }
        return n;
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
    std::size_t number_ = 0;
};

// Parses the whole file; false with the reason when it is not a hive this
// program can rewrite without losing anything.
bool parseHive(std::string_view bytes, Parsed& out, std::string& error) {
    if (bytes.find('\0') != std::string_view::npos) {
        error = "binary data";
        return false;
    }
    if (bytes.substr(0, kBom.size()) == kBom) bytes.remove_prefix(kBom.size());

    Lines lines(bytes);
    std::string_view first;
    {
        Lines scan(bytes);
        bool content = false;
        for (std::string_view l; !content && scan.next(l);) content = !trimmed(l).empty();
        if (!content) return true;  // an empty file holds nothing yet
    }
    lines.next(first);
    if (trimmed(first) != kHeader) {
        error = "line 1 is not \"" + std::string(kHeader) + "\"";
        return false;
    }

    Section* current = nullptr;
    for (std::string_view raw; lines.next(raw);) {
        auto where = [&lines] { return "line " + std::to_string(lines.number()) + ": "; };
        const std::string_view t = trimmed(raw);
        if (t.empty()) continue;
        if (t.front() == ';') {
            if (current)
                current->entries.push_back(Entry{Entry::Kind::Comment, {}, std::string(raw)});
            else
                out.preamble.emplace_back(raw);
            continue;
        }
        if (t.front() == '[') {
            if (t.back() != ']' || t.size() < 3 || t[1] == '-') {
                error = where() + "bad key line";
                return false;
            }
            std::string_view header = t.substr(1, t.size() - 2);
            std::string_view rootPart = header.substr(0, header.find('\\'));
            auto root = std::find_if(std::begin(kRoots), std::end(kRoots),
                                     [&](std::string_view r) { return lower(r) == lower(rootPart); });
            if (root == std::end(kRoots)) {
                error = where() + "unknown root key";
                return false;
            }
            std::vector<std::string_view> parts;
            if (rootPart.size() < header.size()) {
                parts = components(header.substr(rootPart.size() + 1));
                if (header.back() == '\\' || header.find("\\\\") != std::string_view::npos) {
                    error = where() + "empty key name";
                    return false;
                }
            }
            std::string id = makeId(*root, parts, parts.size());
            current = out.tree.find(id);
            if (!current) current = &addSection(out.tree, std::string(header), std::move(id));
            const std::size_t room = current->entries.size() + lines.linesOfKey();
            current->entries.reserve(room);
            current->byName.reserve(room);
            continue;
        }
        if (t.front() != '"' && t.front() != '@') {
            error = where() + "unexpected text";
            return false;
        }
        if (!current) {
            error = where() + "value outside a key";
            return false;
        }
        Entry entry;
        std::size_t pos = 0;
        if (t.front() == '"') {
            if (!parseQuoted(t, pos, entry.name, error)) {
                error = where() + error;
                return false;
            }
        } else {
            pos = 1;
        }
        std::string_view rest = trimmed(t.substr(pos));
        if (rest.empty() || rest.front() != '=') {
            error = where() + "missing '=' after the value name";
            return false;
        }
        rest = trimmed(rest.substr(1));

        if (!rest.empty() && rest.front() == '"') {
            std::size_t end = 0;
            if (!parseQuoted(rest, end, entry.data, error)) {
                error = where() + error;
                return false;
            }
            if (!trimmed(rest.substr(end)).empty()) {
                error = where() + "text after the string";
                return false;
            }
        } else if (hasTypePrefix(rest)) {
            entry.kind = Entry::Kind::Other;
            entry.data = std::string(raw);
            for (std::string_view line = raw; continues(line);) {
                if (!lines.next(line)) {
                    error = "the last value continues past the end of the file";
                    return false;
                }
                entry.data += "\r\n";
                entry.data += line;
            }
        } else {
            error = where() + "unknown value type";
            return false;
        }
        if (Entry* same = current->find(entry.name)) {
            entry.name = std::move(same->name);  // a later line replaces the value, as an import would
            *same = std::move(entry);
        } else {
            addEntry(*current, std::move(entry));
        }
    }
    return true;
}

std::string serialize(const std::vector<std::string>& preamble, const Tree& tree) {
    std::string out(kHeader);
    out += "\r\n\r\n";
    for (const auto& line : preamble) out += line + "\r\n";
    if (!preamble.empty()) out += "\r\n";
    for (const auto& s : tree.sections) {
        out += "[" + s.header + "]\r\n";
        for (const auto& e : s.entries) {
            if (e.kind == Entry::Kind::String) {
                out += e.name.empty() ? std::string("@") : quotedText(e.name);
                out += "=" + quotedText(e.data);
            } else {
                out += e.data;
            }
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

std::string timeStamp() {
    std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (const std::tm* local = std::localtime(&now))  // the UI thread is the only caller
        std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", local);
    return text;
}

}  // namespace

RegistryHive::RegistryHive(std::string path) : path_(std::move(path)) { load(); }

void RegistryHive::load() {
    std::error_code ec;
    const fs::file_status st = fs::status(path_, ec);
    if (st.type() == fs::file_type::not_found) return;  // a new hive
    std::string bytes;
    if (st.type() != fs::file_type::regular) {
        damageReason_ = st.type() == fs::file_type::none ? "cannot be examined: " + ec.message() : "not a regular file";
    } else if (!readFileBytes(path_, bytes)) {
        damageReason_ = "cannot be read";
    } else {
        Parsed parsed;
        if (parseHive(bytes, parsed, damageReason_)) {
            preamble_ = std::move(parsed.preamble);
            tree_ = std::move(parsed.tree);
            return;
        }
    }
    damaged_ = true;
}

bool RegistryHive::moveDamagedAside() {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path_, ec))) {  // gone meanwhile: nothing left to keep
        damaged_ = false;
        return true;
    }
    const std::string base = path_ + ".broken-" + timeStamp();
    std::string target = base;
    for (int n = 2; fs::exists(fs::symlink_status(target, ec)); ++n) target = base + "-" + std::to_string(n);
    fs::rename(path_, target, ec);
    if (ec) {
        if (!refusalReported_)
            std::fprintf(stderr,
                         "Vantor: the settings file %s is damaged (%s) and could not be moved to %s (%s); "
                         "settings are not saved.\n",
                         path_.c_str(), damageReason_.c_str(), target.c_str(), ec.message().c_str());
        refusalReported_ = true;
        return false;
    }
    std::fprintf(stderr, "Vantor: the settings file %s is damaged (%s); it was kept as %s and a new one is started.\n",
                 path_.c_str(), damageReason_.c_str(), target.c_str());
    keptAs_ = target;
    damaged_ = false;
    return true;
}

bool RegistryHive::commit(Tree& next) {
    if (damaged_ && !moveDamagedAside()) {
        writeFailure_ =
            "the settings file " + path_ + " is damaged (" + damageReason_ + ") and could not be moved aside";
        return false;
    }
    const std::string folder = fs::path(path_).parent_path().string();
    if (!folder.empty() && !createFolders(folder)) {
        writeFailure_ = "the folder " + folder + " of the settings file cannot be created";
        return false;
    }
    if (const IoResult w = writeFileAtomic(path_, serialize(preamble_, next)); !w) {
        writeFailure_ = "the settings file " + path_ + " cannot be written (" + w.error + ")";
        return false;
    }
    writeFailure_.clear();
    tree_ = std::move(next);
    return true;
}

bool RegistryHive::createKey(RegRoot root, const std::string& key) {
    if (!writableKeyPath(key)) {
        writeFailure_ = "the key path holds a line break or NUL";
        return false;
    }
    keyId(scratch_, root, key);
    if (tree_.find(scratch_)) return true;
    Tree next = tree_;
    ensureKey(next, root, components(key));
    return commit(next);
}

RegValue RegistryHive::query(RegRoot root, const std::string& key, const std::string& name) {
    keyId(scratch_, root, key);
    const Section* section = tree_.find(scratch_);
    const Entry* entry = section ? section->find(name) : nullptr;
    if (!entry) return {};
    if (entry->kind == Entry::Kind::Other) return RegValue{RegValueKind::Other, {}};
    return RegValue{RegValueKind::String, entry->data};
}

bool RegistryHive::setString(RegRoot root, const std::string& key, const std::string& name, const std::string& value) {
    if (!writableKeyPath(key)) {
        writeFailure_ = "the key path holds a line break or NUL";
        return false;
    }
    keyId(scratch_, root, key);
    if (const Section* section = tree_.find(scratch_)) {
        const Entry* entry = section->find(name);
        if (entry && entry->kind == Entry::Kind::String && entry->data == value)
            return true;  // already stored: the file stays as it is
    }
    Tree next = tree_;
    Section& section = ensureKey(next, root, components(key));
    if (Entry* entry = section.find(name)) {
        entry->kind = Entry::Kind::String;
        entry->data = value;
    } else {
        addEntry(section, Entry{Entry::Kind::String, name, value});
    }
    return commit(next);
}

}  // namespace vantor
