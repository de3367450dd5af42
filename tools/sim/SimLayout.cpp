#include "SimLayout.h"

#include "SimSystem.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace vantor::sim {
namespace {

// The layout's failures, carried to the caller as one text.
struct LayoutError {
    std::string text;
};

std::string tempName(const fs::path& target) {
    static int counter = 0;
    return target.string() + ".new." + std::to_string(++counter);
}

// Writes bytes next to target and renames it into place.
void replaceWith(const fs::path& target, const std::string& bytes) {
    const fs::path temp = tempName(target);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << bytes;
        if (!out.flush()) throw LayoutError{"cannot write " + temp.string()};
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        throw LayoutError{"cannot put " + target.string() + " in place"};
    }
}

// Copies a program next to its place, makes it executable and renames it there.
void placeProgram(const fs::path& from, const fs::path& to) {
    const fs::path temp = tempName(to);
    std::error_code ec;
    fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec);
    if (!ec)
        fs::permissions(temp,
                        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                            fs::perms::others_exec,
                        ec);
    if (!ec) fs::rename(temp, to, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw LayoutError{"cannot place " + to.string() + ": " + ec.message()};
    }
}

void makeFolders(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) throw LayoutError{"cannot create " + folder.string() + ": " + ec.message()};
}

// Writes the lines with CR LF, only when the file does not exist.
void writeMissing(const fs::path& file, std::initializer_list<std::string> lines) {
    if (fs::exists(file)) return;
    std::string bytes;
    for (const auto& line : lines) bytes += line + "\r\n";
    replaceWith(file, bytes);
}

// The player's own configuration files in a game folder; k names the player.
void writeUserFiles(const fs::path& game, int k) {
    const fs::path cfg = game / "hl2" / "cfg";
    const std::string player = "player" + std::to_string(k);
    writeMissing(cfg / "valve.rc", {"// valve.rc of " + player + " - the player's own start-up script",
                                    "exec autoexec.cfg", "stuffcmds", "startupmenu"});
    writeMissing(cfg / "autoexec.cfg", {"// autoexec.cfg of " + player + " - the player's own settings", "mat_picmip 1",
                                        "mat_forceaniso 4", "fps_max 300"});
    // The name holds a Windows-1252 byte (0xE9), as a Windows game writes it.
    writeMissing(cfg / "config.cfg",
                 {"// config.cfg of " + player + " - saved by the game", "unbindall", "bind \"w\" \"+forward\"",
                  "name \"Andr\xE9 " + player + "\"", "mat_picmip \"1\"", "mat_dxlevel \"90\"", "sensitivity \"3.5\""});
}

// A value inside double quotes, as .reg and .vdf files write it.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// Today's client lists every library, its own folder first.
std::string libraryEntry(const std::string& id, const std::string& path, const std::string& apps) {
    return "\t\"" + id + "\"\n\t{\n\t\t\"path\"\t\t" + quoted(path) + "\n\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n" +
           apps + "\t\t}\n\t}\n";
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

std::string withoutCr(const std::string& line) {
    return !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
}

bool isSteamExeLine(const std::string& lowered) {
    if (lowered.rfind("\"steamexe\"", 0) != 0) return false;
    const auto rest = lowered.find_first_not_of(" \t", 10);
    return rest != std::string::npos && lowered[rest] == '=';
}

// The hive with its SteamExe value set to want (a whole "SteamExe"="..." line):
// every other line is kept; the value, and the key, are added where missing.
std::string hiveWithSteamExe(const std::string& old, const std::string& want) {
    static const std::string key = "[hkey_current_user\\software\\valve\\steam]";
    std::vector<std::string> lines;
    std::istringstream in(old);
    for (std::string line; std::getline(in, line);) lines.push_back(line);

    bool found = false, has = false, inKey = false;
    for (const auto& line : lines) {
        const std::string low = lower(withoutCr(line));
        if (!low.empty() && low[0] == '[') {
            inKey = low == key;
            found = found || inKey;
        } else if (inKey && isSteamExeLine(low)) {
            has = true;
        }
    }
    std::string out;
    bool done = false;
    inKey = false;
    for (const auto& line : lines) {
        const std::string low = lower(withoutCr(line));
        if (!low.empty() && low[0] == '[') {
            inKey = low == key;
            out += line + "\n";
            if (inKey && !has && !done) {
                out += want + "\r\n";
                done = true;
            }
        } else if (inKey && isSteamExeLine(low)) {
            if (!done) out += want + "\r\n";
            done = true;
        } else {
            out += line + "\n";
        }
    }
    if (!found) out += "\r\n[HKEY_CURRENT_USER\\Software\\Valve\\Steam]\r\n" + want + "\r\n";
    return out;
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void layOut(const SimLayoutOptions& o, SimLayoutResult& result) {
    if (o.accounts < 1 || o.accounts > 99) throw LayoutError{"accounts must be a number from 1 to 99"};
    if (o.today && o.accounts != 1) throw LayoutError{"today's layout has no account folders"};
    const fs::path bin(o.bin);
    for (const char* exe : {"steam.exe", "hl2.exe"})
        if (!fs::is_regular_file(bin / exe))
            throw LayoutError{"no " + (bin / exe).string() +
                              ": build the simulator first (cmake --build build --target vantor_tools)"};

    makeFolders(o.dir);
    std::error_code ec;
    const fs::path root = fs::canonical(o.dir, ec);
    if (ec) throw LayoutError{"cannot resolve " + o.dir + ": " + ec.message()};
    const fs::path steam = root / "Steam";
    makeFolders(steam);
    placeProgram(bin / "steam.exe", steam / "steam.exe");

    if (o.today) {
        const fs::path library = root / "Library2";
        const fs::path game = library / "steamapps" / "common" / "Half-Life 2";
        makeFolders(steam / "steamapps");
        makeFolders(game / "hl2" / "cfg");
        placeProgram(bin / "hl2.exe", game / (o.todayGameName.empty() ? todayGameProgram() : o.todayGameName));
        replaceWith(steam / "steamapps" / "libraryfolders.vdf",
                    "\"libraryfolders\"\n{\n" + libraryEntry("0", steam.string(), "") +
                        libraryEntry("1", library.string(), "\t\t\t\"220\"\t\t\"4200000000\"\n") + "}\n");
        if (o.userFiles) writeUserFiles(game, 1);
    } else {
        makeFolders(steam / "SteamApps");
        for (int k = 1; k <= o.accounts; ++k) {
            const fs::path game = steam / "SteamApps" / ("player" + std::to_string(k)) / "half-life 2";
            makeFolders(game / "hl2" / "cfg");
            placeProgram(bin / "hl2.exe", game / "hl2.exe");
            if (o.userFiles) writeUserFiles(game, k);
        }
    }

    // The registry hive: .reg text, CR LF lines. Only the SteamExe value is ours.
    const fs::path hive = root / "registry.reg";
    const std::string want = "\"SteamExe\"=" + quoted((steam / "steam.exe").string());
    if (!fs::exists(hive)) {
        replaceWith(
            hive, "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Valve\\Steam]\r\n" + want +
                      "\r\n");
    } else {
        const std::string old = readAll(hive);
        const std::string updated = hiveWithSteamExe(old, want);
        if (updated != old) replaceWith(hive, updated);
    }
    result.root = (root / "").string();
    result.hive = hive.string();
}

}  // namespace

SimLayoutResult layOutSimInstall(const SimLayoutOptions& options) {
    SimLayoutResult result;
    try {
        layOut(options, result);
        result.ok = true;
    } catch (const LayoutError& e) {
        result.error = e.text;
    } catch (const fs::filesystem_error& e) {
        result.error = e.what();
    }
    return result;
}

}  // namespace vantor::sim
