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

Section* findSection(Tree& tree, const std::string& id) {
    auto it = tree.byId.find(id);
    return it == tree.byId.end() ? nullptr : &tree.sections[it->second];
}

Section& addSection(Tree& tree, std::string header, std::string id) {
    tree.byId.emplace(id, tree.sections.size());
    tree.sections.push_back(Section{std::move(header), std::move(id), {}, {}});
    return tree.sections.back();
}

Entry* findEntry(Section& section, const std::string& lowerName) {
    auto it = section.byName.find(lowerName);
    return it == section.byName.end() ? nullptr : &section.entries[it->second];
}

void addEntry(Section& section, Entry entry, std::string lowerName) {
    section.byName.emplace(std::move(lowerName), section.entries.size());
    section.entries.push_back(std::move(entry));
}

// The key's section; a missing key is added with its missing parents.
Section& ensureKey(Tree& tree, RegRoot root, const std::vector<std::string_view>& parts) {
    const std::string rootText = rootName(root);
    if (Section* existing = findSection(tree, makeId(rootText, parts, parts.size()))) return *existing;
    std::string header = rootText;
    Section* current = nullptr;
    for (std::size_t level = parts.empty() ? 0 : 1; level <= parts.size(); ++level) {
        std::string id = makeId(rootText, parts, level);
        if (level > 0) header += "\\" + std::string(parts[level - 1]);
        current = findSection(tree, id);
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
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
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

// Parses the whole file; false with the reason when it is not a hive this
// program can rewrite without losing anything.
bool parseHive(std::string_view bytes, Parsed& out, std::string& error) {
    if (bytes.find('\0') != std::string_view::npos) {
        error = "binary data";
        return false;
    }
    if (bytes.substr(0, kBom.size()) == kBom) bytes.remove_prefix(kBom.size());

    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    if (std::all_of(lines.begin(), lines.end(), [](std::string_view l) { return trimmed(l).empty(); }))
        return true;  // an empty file holds nothing yet
    if (trimmed(lines[0]) != kHeader) {
        error = "line 1 is not \"" + std::string(kHeader) + "\"";
        return false;
    }

    Section* current = nullptr;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        auto where = [i] { return "line " + std::to_string(i + 1) + ": "; };
        const std::string_view raw = lines[i];
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
            current = findSection(out.tree, id);
            if (!current) current = &addSection(out.tree, std::string(header), std::move(id));
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
        std::string name;
        std::size_t pos = 0;
        if (t.front() == '"') {
            if (!parseQuoted(t, pos, name, error)) {
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

        Entry entry;
        entry.name = name;
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
                if (++i == lines.size()) {
                    error = "the last value continues past the end of the file";
                    return false;
                }
                line = lines[i];
                entry.data += "\r\n";
                entry.data += line;
            }
        } else {
            error = where() + "unknown value type";
            return false;
        }
        std::string lowerName = lower(entry.name);
        if (Entry* same = findEntry(*current, lowerName)) {
            entry.name = same->name;  // a later line replaces the value, as an import would
            *same = std::move(entry);
        } else {
            addEntry(*current, std::move(entry), std::move(lowerName));
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
    const auto parts = components(key);
    if (findSection(tree_, makeId(rootName(root), parts, parts.size()))) return true;
    Tree next = tree_;
    ensureKey(next, root, parts);
    return commit(next);
}

RegValue RegistryHive::query(RegRoot root, const std::string& key, const std::string& name) {
    const auto parts = components(key);
    Section* section = findSection(tree_, makeId(rootName(root), parts, parts.size()));
    Entry* entry = section ? findEntry(*section, lower(name)) : nullptr;
    if (!entry) return {};
    if (entry->kind == Entry::Kind::Other) return RegValue{RegValueKind::Other, {}};
    return RegValue{RegValueKind::String, entry->data};
}

bool RegistryHive::setString(RegRoot root, const std::string& key, const std::string& name, const std::string& value) {
    if (!writableKeyPath(key)) {
        writeFailure_ = "the key path holds a line break or NUL";
        return false;
    }
    const auto parts = components(key);
    std::string lowerName = lower(name);
    if (Section* section = findSection(tree_, makeId(rootName(root), parts, parts.size()))) {
        const Entry* entry = findEntry(*section, lowerName);
        if (entry && entry->kind == Entry::Kind::String && entry->data == value)
            return true;  // already stored: the file stays as it is
    }
    Tree next = tree_;
    Section& section = ensureKey(next, root, parts);
    if (Entry* entry = findEntry(section, lowerName)) {
        entry->kind = Entry::Kind::String;
        entry->data = value;
    } else {
        addEntry(section, Entry{Entry::Kind::String, name, value}, std::move(lowerName));
    }
    return commit(next);
}

}  // namespace vantor
