#include "app/NamedOptions.h"

#include "app/SettingsCodec.h"
#include "platform/AsciiCase.h"
#include "platform/FileOps.h"

#include <array>
#include <filesystem>
#include <optional>
#include <system_error>

namespace vantor {
namespace {

// How an option's value is taken.
enum class Kind {
    Words,       // one of the choice's words, in item order
    WordOrFile,  // a word, or a file with the extension that picks the last item
    Switch,      // on / off
    Note,        // free text, at most kMaxNoteLength characters
    Folder,      // a folder, made when missing
};

constexpr std::size_t kMaxNoteLength = 50;

using Words = std::array<std::string_view, 20>;

struct OptionRule {
    NamedOption option;
    Kind kind = Kind::Words;
    Choice choice = Choice::Detail;       // Words, WordOrFile
    Words words{};                        // Words, WordOrFile: the items' words, in item order
    std::string_view fileExtension;       // WordOrFile: ".cfg", ".dem"
    Field fileField = Field::DetailEdit;  // WordOrFile: the field that shows the file
    const char* fileValue = nullptr;      // WordOrFile: the settings value of the file
    Check check = Check::FastZ;           // Switch
    const char* value = nullptr;          // Switch, Note, Folder: the settings value
    Field field = Field::NoteEdit;        // Note, Folder
    bool onWhenAbsent = false;            // Switch: what an absent value means
    bool needsHardwareInfo = false;       // Switch: "on" only with a stored hardware description
};

OptionRule words(NamedOption o, Choice choice, Words w) {
    OptionRule r;
    r.option = o;
    r.choice = choice;
    r.words = w;
    return r;
}

OptionRule wordOrFile(NamedOption o, Choice choice, Words w, std::string_view extension, Field field,
                      const char* fileValue) {
    OptionRule r = words(o, choice, w);
    r.kind = Kind::WordOrFile;
    r.fileExtension = extension;
    r.fileField = field;
    r.fileValue = fileValue;
    return r;
}

OptionRule onOff(NamedOption o, Check check, const char* value, bool onWhenAbsent) {
    OptionRule r;
    r.option = o;
    r.kind = Kind::Switch;
    r.check = check;
    r.value = value;
    r.onWhenAbsent = onWhenAbsent;
    return r;
}

OptionRule text(NamedOption o, Kind kind, Field field, const char* value) {
    OptionRule r;
    r.option = o;
    r.kind = kind;
    r.field = field;
    r.value = value;
    return r;
}

const OptionRule kRules[] = {
    wordOrFile({"detail", "detail level", "maximum, minimum, or a .cfg file of your own"}, Choice::Detail,
               {"maximum", "minimum"}, ".cfg", Field::DetailEdit, sv::CustomConfig),
    wordOrFile({"demo", "demo",
                "1 (Quorvane Coast), 2 (Quorvane d13c17), 3 (Raza3Z demo4), 4 (Raza3Z demo5), 5 (Raza3Z demo6), or "
                "a .dem file of your own"},
               Choice::Demo, {"1", "2", "3", "4", "5"}, ".dem", Field::DemoEdit, sv::Demoname),
    words({"filtering", "texture filtering", "bilinear, trilinear, aniso2x, aniso4x, aniso8x, aniso16x, system"},
          Choice::AF, {"bilinear", "trilinear", "aniso2x", "aniso4x", "aniso8x", "aniso16x", "system"}),
    words({"antialiasing", "antialiasing", "none, 2x, 4x, 6x, 8x, system"}, Choice::AA,
          {"none", "2x", "4x", "6x", "8x", "system"}),
    words({"heap-size", "engine heap size in MB", "64, 128, 256, 512, 1024"}, Choice::Heapsize,
          {"64", "128", "256", "512", "1024"}),
    words({"refresh", "refresh rate in Hz", "60, 70, 75, 85"}, Choice::Refresh, {"60", "70", "75", "85"}),
    words({"directx", "DirectX level", "7, 8, 8.1, 9"}, Choice::DirectX, {"7", "8", "8.1", "9"}),
    onOff({"fast-z", "fast z-setting", "on, off"}, Check::FastZ, sv::FastZ, true),
    onOff({"minimize-hdd", "minimize HDD use (no debug log during a run)", "on, off"}, Check::HDDUse, sv::HDDUsage,
          false),
    text({"note", "the report's note", "any text of at most 50 characters"}, Kind::Note, Field::NoteEdit, sv::Note),
    text({"results-folder", "folder of the reports", "a folder (made when missing)"}, Kind::Folder, Field::ResEdit,
         sv::ResultPath),
    words({"passes", "passes per resolution", "1 to 10"}, Choice::Passes,
          {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}),
    onOff({"adaptive", "adaptive passes", "on, off"}, Check::AdaptivePasses, sv::AdaptivePasses, false),
    words({"threshold", "spread in percent that asks for another adaptive pass", "1 to 10"}, Choice::AdaptiveThreshold,
          {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}),
    words({"cap", "most passes of a resolution with adaptive passes", "2 to 20"}, Choice::AdaptiveCap,
          {"2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20"}),
    [] {
        OptionRule r = onOff({"additional-info", "the stored hardware description in the report", "on, off"},
                             Check::AddInfo, sv::Addinfo, false);
        r.needsHardwareInfo = true;
        return r;
    }(),
    onOff({"summary", "summary and chart in the report", "on, off"}, Check::ReportSummary, sv::ReportSummary, false),
    onOff({"result-files", "result files (.json, .csv) beside the report", "on, off"}, Check::ResultFiles,
          sv::ResultFiles, true),
};

const std::array<NamedOption, std::size(kRules)> kOptions = [] {
    std::array<NamedOption, std::size(kRules)> out{};
    for (std::size_t i = 0; i < std::size(kRules); ++i) out[i] = kRules[i].option;
    return out;
}();

const OptionRule& ruleOf(const NamedOption& option) {
    for (const auto& r : kRules)
        if (r.option.name == option.name) return r;
    return kRules[0];  // options come from namedOptions()
}

std::optional<int> wordIndex(const OptionRule& r, const std::string& value) {
    for (std::size_t i = 0; i < r.words.size() && !r.words[i].empty(); ++i)
        if (equalsIgnoringAsciiCase(r.words[i], value)) return static_cast<int>(i);
    return std::nullopt;
}

std::optional<bool> switchValue(const std::string& value) {
    const std::string v = asciiLower(value);
    if (v == "on" || v == "1" || v == "yes" || v == "true") return true;
    if (v == "off" || v == "0" || v == "no" || v == "false") return false;
    return std::nullopt;
}

std::size_t characterCount(const std::string& utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
    return n;
}

std::string absolutePath(const std::string& given) {
    std::error_code ec;
    const auto p = std::filesystem::absolute(given, ec);
    return ec ? given : p.lexically_normal().string();
}

std::string notAllowed(const OptionRule& r, const std::string& value) {
    return std::string(r.option.name) + " takes " + std::string(r.option.allowed) + ", not '" + value + "'";
}

// The checked value, ready to set or store.
struct Checked {
    std::string error;
    int index = -1;    // Words, WordOrFile
    std::string text;  // the file, the note, the folder (with its separator)
    bool on = false;   // Switch
};

Checked check(const OptionRule& r, const std::string& value) {
    Checked c;
    switch (r.kind) {
        case Kind::Words:
        case Kind::WordOrFile: {
            if (const auto i = wordIndex(r, value)) {
                c.index = *i;
                return c;
            }
            const bool fileLike =
                r.kind == Kind::WordOrFile && value.size() > r.fileExtension.size() &&
                equalsIgnoringAsciiCase(value.substr(value.size() - r.fileExtension.size()), r.fileExtension);
            if (!fileLike) {
                c.error = notAllowed(r, value);
                return c;
            }
            c.text = absolutePath(value);
            if (!fileExists(c.text)) c.error = std::string(r.option.name) + ": there is no file " + c.text;
            c.index = choiceItemCount(r.choice) - 1;
            return c;
        }
        case Kind::Switch:
            if (const auto on = switchValue(value))
                c.on = *on;
            else
                c.error = notAllowed(r, value);
            return c;
        case Kind::Note:
            if (characterCount(value) > kMaxNoteLength)
                c.error = "note: at most 50 characters, not " + std::to_string(characterCount(value));
            c.text = value;
            return c;
        case Kind::Folder: {
            if (value.empty()) {
                c.error = notAllowed(r, value);
                return c;
            }
            c.text = absolutePath(value);
            if (c.text.back() != kPathSep) c.text += kPathSep;
            if (!folderExists(c.text) && !createFolders(c.text))
                c.error = "results-folder: " + c.text + " cannot be made";
            return c;
        }
    }
    return c;
}

// A list's item (and the file of the custom level or the user's demo) into the request.
void setChoice(RunRequest& r, Choice c, int index, const std::string& file) {
    setChoiceIndex(r, c, index);
    if (file.empty()) return;
    if (c == Choice::Detail) r.customConfigFile = file;
    if (c == Choice::Demo) r.userDemoFile = file;
}

}  // namespace

std::span<const NamedOption> namedOptions() { return kOptions; }

const NamedOption* findNamedOption(std::string_view name) {
    for (const auto& o : kOptions)
        if (o.name == name) return &o;
    return nullptr;
}

std::string applyNamedOption(const NamedOption& option, const std::string& value, RunRequest& request) {
    const OptionRule& r = ruleOf(option);
    const Checked c = check(r, value);
    if (!c.error.empty()) return c.error;
    switch (r.kind) {
        case Kind::Words:
        case Kind::WordOrFile: setChoice(request, r.choice, c.index, c.text); break;
        case Kind::Switch: setSwitch(request, r.check, c.on); break;
        case Kind::Note: request.note = c.text; break;
        case Kind::Folder: request.resultsFolder = c.text; break;
    }
    return {};
}

std::string storeNamedOption(const NamedOption& option, const std::string& value, SettingsStore& store) {
    const OptionRule& r = ruleOf(option);
    const Checked c = check(r, value);
    if (!c.error.empty()) return c.error;
    store.open();
    if (r.needsHardwareInfo && c.on && store.read(sv::OS).empty())
        return std::string(r.option.name) +
               " can be on once a hardware description is stored: collect it with `vantor-cli hwinfo --save`";
    switch (r.kind) {
        case Kind::Words:
        case Kind::WordOrFile:
            if (!c.text.empty()) store.write(r.fileValue, c.text);
            store.write(valueNameOf(r.choice), codeOf(r.choice, c.index));
            break;
        case Kind::Switch: store.write(r.value, c.on ? "1" : "0"); break;
        case Kind::Note:
        case Kind::Folder: store.write(r.value, c.text); break;
    }
    return {};
}

std::string storedOptionWord(const NamedOption& option, SettingsStore& store, bool& fromDefault) {
    const OptionRule& r = ruleOf(option);
    fromDefault = false;
    store.open();
    switch (r.kind) {
        case Kind::Words:
        case Kind::WordOrFile: {
            std::string code = store.read(valueNameOf(r.choice));
            if (code.empty()) {
                code = std::string(freshDefaultCode(r.choice));
                fromDefault = true;
            }
            const int index = indexOfCode(r.choice, code);
            if (index < 0) return {};
            if (r.kind == Kind::WordOrFile && index == choiceItemCount(r.choice) - 1) return store.read(r.fileValue);
            return std::string(r.words[static_cast<std::size_t>(index)]);
        }
        case Kind::Switch: {
            const std::string v = store.read(r.value);
            fromDefault = v.empty();
            const bool on = v.empty() ? r.onWhenAbsent : (r.onWhenAbsent ? v != "0" : v == "1");
            return on ? "on" : "off";
        }
        case Kind::Note:
        case Kind::Folder: return store.read(r.value);
    }
    return {};
}

}  // namespace vantor
