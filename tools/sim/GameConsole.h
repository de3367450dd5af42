#pragma once
// The game's console as far as start-up goes: which configuration files run in
// which order, and the values they leave behind.
//
// Order at start: "config.cfg" (the user's saved settings), then "valve.rc",
// whose "exec NAME" lines run other files of the cfg folder and whose
// "stuffcmds" runs the command line's "+name value" commands. Without
// "valve.rc" the game runs "autoexec.cfg" and then the command line; command-line
// commands that no "stuffcmds" ran are run after "valve.rc". Nothing is written.
//
// A line holds commands separated by ';'; "//" starts a comment; double quotes
// group a value; "name value" and name "value" set a variable (names ignore case).

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vantor::sim {

class GameConsole {
public:
    using Log = std::function<void(const std::string&)>;

    // commandLine: console commands from the program's "+name value" options.
    GameConsole(std::string cfgFolder, std::vector<std::string> commandLine, Log log);

    void boot();
    void execLine(const std::string& line, int depth = 0);
    // Runs a file of the cfg folder (".cfg" is added to a name without extension).
    // False when the file cannot be read.
    bool execFile(const std::string& name, int depth = 0);

    // A variable's value; fallback when unset. number() gives fallback for text
    // that is not a number.
    std::string value(const std::string& name, const std::string& fallback = {}) const;
    double number(const std::string& name, double fallback) const;

    const std::vector<std::string>& filesRun() const { return filesRun_; }
    // Why the game cannot start: a configuration file that is there but cannot
    // be read (a folder in its place, a read error); empty when none.
    const std::string& fault() const { return fault_; }

private:
    void stuffCmds(int depth);

    std::string cfgFolder_;
    std::vector<std::string> commandLine_;
    Log log_;
    bool stuffed_ = false;
    std::map<std::string, std::string> vars_;
    std::vector<std::string> filesRun_;
    std::string fault_;
};

}  // namespace vantor::sim
