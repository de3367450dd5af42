#include "app/SettingsCodec.h"

#include "platform/MemoryRegistry.h"
#include "tests/support/FakeView.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <vector>

using namespace vantor;
using vantor::test::FakeView;
using vantor::test::TempDir;

namespace {

constexpr RegRoot LM = RegRoot::LocalMachine;
constexpr Choice kAllChoices[] = {Choice::Detail,   Choice::Demo,    Choice::AF,     Choice::AA,
                                  Choice::Heapsize, Choice::Refresh, Choice::DirectX};

// The item a choice shows while nothing is stored for it.
int freshIndex(Choice c) { return indexOfCode(c, std::string(freshDefaultCode(c))); }

class SettingsCodec : public ::testing::Test {
protected:
    SettingsCodec() {
        store.open();
        hooks.detailChosen = [this] { calls.push_back("detail"); };
        hooks.demoChosen = [this] { calls.push_back("demo"); };
        hooks.addInfoChecked = [this] { calls.push_back("addinfo"); };
        hooks.afterNote = [this] { calls.push_back("afterNote"); };
        hooks.hl2Known = true;
    }
    void put(const char* name, const std::string& value) { registry.put(LM, kSettingsKey, name, value); }
    std::optional<std::string> stored(const char* name) {
        RegValue v = registry.query(LM, kSettingsKey, name);
        if (v.kind == RegValueKind::Absent) return std::nullopt;
        return v.text;
    }
    void decode() { decodeSettings(store, view, hooks); }

    MemoryRegistry registry;
    SettingsStore store{registry};
    FakeView view;
    DecodeHooks hooks;
    std::vector<std::string> calls;
};

}  // namespace

TEST(SettingsCodes, EveryItemHasItsCodeBothWays) {
    struct Case {
        Choice choice;
        const char* valueName;
        std::vector<std::string> codes;  // in item order
    };
    const Case cases[] = {
        {Choice::Detail, "Detail", {"1", "2", "3"}},
        {Choice::Demo, "Demo", {"1", "2", "3", "4", "5", "6"}},
        {Choice::AF, "AFLevel", {"1", "2", "3", "4", "5", "6", "Sys"}},
        {Choice::AA, "AALevel", {"1", "2", "4", "6", "8", "Sys"}},
        {Choice::Heapsize, "Heapsize", {"64000", "128000", "256000", "512000", "1024000"}},
        {Choice::Refresh, "Refresh", {"60", "70", "75", "85"}},
        {Choice::DirectX, "DXLevel", {"70", "80", "81", "90"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.valueName);
        EXPECT_STREQ(valueNameOf(c.choice), c.valueName);
        ASSERT_EQ(static_cast<int>(c.codes.size()), choiceItemCount(c.choice));
        for (int i = 0; i < static_cast<int>(c.codes.size()); ++i) {
            EXPECT_EQ(codeOf(c.choice, i), c.codes[static_cast<std::size_t>(i)]);
            EXPECT_EQ(indexOfCode(c.choice, c.codes[static_cast<std::size_t>(i)]), i);
        }
        EXPECT_EQ(codeOf(c.choice, -1), "");
        EXPECT_EQ(codeOf(c.choice, static_cast<int>(c.codes.size())), "");
        EXPECT_EQ(indexOfCode(c.choice, ""), -1);
    }
}

TEST(SettingsCodes, CodesMatchExactly) {
    struct Case {
        Choice choice;
        const char* code;
    };
    const Case unknown[] = {
        {Choice::AF, "sys"},
        {Choice::AF, "SYS"},
        {Choice::AF, "7"},
        {Choice::AF, "0"},
        {Choice::AA, "3"},
        {Choice::AA, "16"},
        {Choice::AA, "sys"},
        {Choice::Heapsize, "64"},
        {Choice::Heapsize, "64000 "},
        {Choice::Heapsize, "2048000"},
        {Choice::Refresh, "100"},
        {Choice::DirectX, "9"},
        {Choice::DirectX, "95"},
        {Choice::Detail, "4"},
        {Choice::Demo, "06"},
        {Choice::Demo, "7"},
    };
    for (const auto& c : unknown)
        EXPECT_EQ(indexOfCode(c.choice, c.code), -1) << valueNameOf(c.choice) << " = \"" << c.code << "\"";
}

TEST(SettingsSeeding, FollowsTheProgramVersion) {
    const char* seeded[] = {sv::CPU,       sv::Memory,  sv::OS,       sv::VGA,    sv::VGADriver,
                            sv::VGAMemory, sv::Addinfo, sv::SaveInfo, sv::Donate, sv::NoErrorWarning};
    const std::map<std::string, std::string> full = {
        {sv::CPU, ""},       {sv::Memory, ""},   {sv::OS, ""},        {sv::VGA, ""},     {sv::VGADriver, ""},
        {sv::VGAMemory, ""}, {sv::Addinfo, "0"}, {sv::SaveInfo, "0"}, {sv::Donate, "0"}, {sv::NoErrorWarning, "0"}};
    struct Case {
        std::optional<std::string> version;
        std::optional<std::string> addinfo;           // Addinfo stored before seeding
        std::map<std::string, std::string> expected;  // every other seeded value stays absent
    };
    const Case cases[] = {
        {"1.0", std::nullopt, full},
        {"1.1", std::nullopt, full},
        {"1.2", std::nullopt, {{sv::Donate, "0"}, {sv::NoErrorWarning, "0"}}},
        {"1.3", std::nullopt, {{sv::NoErrorWarning, "0"}}},
        {"1.4", std::nullopt, {}},
        {"1.3 ", std::nullopt, {}},
        {"1", std::nullopt, {}},
        {"", std::nullopt, {}},
        {std::nullopt, std::nullopt, {}},
        {"1.0", "", {{sv::Addinfo, ""}}},  // an empty Addinfo exists
        {"1.1", "1", {{sv::Addinfo, "1"}}},
        {"1.2", "0", {{sv::Addinfo, "0"}}},
        {"1.3", "1", {{sv::Addinfo, "1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("Programversion " + c.version.value_or("(absent)") + ", Addinfo " +
                     c.addinfo.value_or("(absent)"));
        MemoryRegistry reg;
        SettingsStore s(reg);
        ASSERT_TRUE(s.open());
        if (c.version) reg.put(LM, kSettingsKey, sv::Programversion, *c.version);
        if (c.addinfo) reg.put(LM, kSettingsKey, sv::Addinfo, *c.addinfo);
        applySeeding(s);
        for (const char* name : seeded) {
            auto it = c.expected.find(name);
            EXPECT_EQ(s.exists(name), it != c.expected.end()) << name;
            if (it != c.expected.end()) {
                EXPECT_EQ(s.read(name), it->second) << name;
            }
        }
    }
}

TEST_F(SettingsCodec, Version12SetsDonateBackAtEveryStartWhileAddinfoIsAbsent) {
    put(sv::Programversion, "1.2");
    for (int start = 0; start < 3; ++start) {
        applySeeding(store);
        EXPECT_EQ(stored(sv::Donate), "0") << "start " << start;
        store.write(sv::Donate, "1");  // the donation window was closed
    }
    put(sv::Addinfo, "1");
    applySeeding(store);
    EXPECT_EQ(stored(sv::Donate), "1");

    // Version 1.0 creates Addinfo, so it seeds once only.
    MemoryRegistry reg;
    SettingsStore s(reg);
    s.open();
    reg.put(LM, kSettingsKey, sv::Programversion, "1.0");
    applySeeding(s);
    s.write(sv::Donate, "1");
    s.write(sv::CPU, "Athlon 64");
    applySeeding(s);
    EXPECT_EQ(s.read(sv::Donate), "1");
    EXPECT_EQ(s.read(sv::CPU), "Athlon 64");
}

// A user who never chose: every option a run reads has a choice, one size is
// ticked, and nothing is asked.
TEST_F(SettingsCodec, AFreshKeyShowsTheDefaultsANewUserGets) {
    put(sv::Programversion, "2.0");
    applySeeding(store);
    decode();
    EXPECT_FALSE(store.exists(sv::Donate)) << "so the donation window never appears";
    EXPECT_FALSE(store.exists(sv::NoErrorWarning));
    EXPECT_TRUE(view.checked(Check::FastZ));
    EXPECT_FALSE(view.checked(Check::HDDUse));
    EXPECT_FALSE(view.checked(Check::AddInfo)) << "an absent Addinfo leaves the box to the user's click";
    for (int i = 0; i < kResolutionCount; ++i) EXPECT_FALSE(view.resolutionChecked(i)) << i;
    for (int i = 0; i < kTodayResolutionCount; ++i) EXPECT_EQ(view.todayResolutionChecked(i), i == 0) << i;
    const std::map<Choice, std::string> shown = {
        {Choice::Detail, "Maximum"},   {Choice::Demo, "Quorvane Coast"},      {Choice::AF, "Trilinear"},
        {Choice::AA, "None"},          {Choice::Heapsize, "64 MB - default"}, {Choice::Refresh, "60 Hz"},
        {Choice::DirectX, "DirectX 9"}};
    for (Choice c : kAllChoices) EXPECT_EQ(choiceItemText(c, view.choice(c)), shown.at(c)) << valueNameOf(c);
    for (Field f : {Field::DetailEdit, Field::DemoEdit, Field::ResEdit, Field::NoteEdit}) EXPECT_EQ(view.text(f), "");
    // Defaults are shown, not stored: no chooser runs.
    EXPECT_EQ(calls, (std::vector<std::string>{"afterNote"}));
}

// A stored size of any kind, also "0", is the user's: no default is ticked then.
TEST_F(SettingsCodec, AnyStoredSizeKeepsTheDefaultSizeOff) {
    for (const char* name : {sv::Resolutions[0], sv::TodayResolutions[2], sv::CustomResolutionOn}) {
        SCOPED_TRACE(name);
        MemoryRegistry reg;
        SettingsStore s(reg);
        s.open();
        reg.put(LM, kSettingsKey, name, "0");
        FakeView fresh;
        decodeSettings(s, fresh, DecodeHooks{});
        for (int i = 0; i < kTodayResolutionCount; ++i) EXPECT_FALSE(fresh.todayResolutionChecked(i)) << i;
    }
}

TEST_F(SettingsCodec, SwitchesHaveDifferentDefaults) {
    // HDDUsage and the resolutions are on only for "1"; FastZ and Addinfo are
    // off only for "0".
    const std::optional<std::string> values[] = {"1", "0", "", "yes", " 1", "01", std::nullopt};
    for (const auto& v : values) {
        SCOPED_TRACE(v ? "\"" + *v + "\"" : std::string("absent"));
        MemoryRegistry reg;
        SettingsStore s(reg);
        s.open();
        if (v) {
            for (const char* name : {sv::HDDUsage, sv::FastZ, sv::Addinfo}) reg.put(LM, kSettingsKey, name, *v);
            for (const char* name : sv::Resolutions) reg.put(LM, kSettingsKey, name, *v);
        }
        FakeView fresh;
        int addInfoCalls = 0;
        DecodeHooks h;
        h.hl2Known = true;
        h.addInfoChecked = [&] { ++addInfoCalls; };
        decodeSettings(s, fresh, h);
        const bool one = v == "1";
        const bool notZero = v != "0";
        EXPECT_EQ(fresh.checked(Check::HDDUse), one);
        for (int i = 0; i < kResolutionCount; ++i) EXPECT_EQ(fresh.resolutionChecked(i), one) << i;
        EXPECT_EQ(fresh.checked(Check::FastZ), notZero);
        // Addinfo: only a stored value other than "0" ticks it; empty reads as absent.
        const bool addInfo = v && !v->empty() && notZero;
        EXPECT_EQ(fresh.checked(Check::AddInfo), addInfo);
        EXPECT_EQ(addInfoCalls, addInfo ? 1 : 0);
    }
}

TEST_F(SettingsCodec, ResolutionsAreDecodedOneByOne) {
    put("800", "1");
    put("1600", "1");
    put("2048", "0");
    decode();
    const bool expected[] = {false, true, false, false, true, false};
    for (int i = 0; i < kResolutionCount; ++i) EXPECT_EQ(view.resolutionChecked(i), expected[i]) << i;
}

TEST_F(SettingsCodec, StoredCodesChooseTheirItem) {
    struct Case {
        Choice choice;
        const char* code;
        int index;
    };
    const Case cases[] = {
        {Choice::AF, "Sys", 6},
        {Choice::AF, "1", 0},
        {Choice::AF, "sys", -1},
        {Choice::AA, "3", -1},
        {Choice::AA, "8", 4},
        {Choice::AA, "Sys", 5},
        {Choice::Heapsize, "1024000", 4},
        {Choice::Heapsize, "64", -1},
        {Choice::Heapsize, "64000", 0},
        {Choice::Refresh, "85", 3},
        {Choice::Refresh, "50", -1},
        {Choice::DirectX, "81", 2},
        {Choice::DirectX, "8.1", -1},
        {Choice::Detail, "3", 2},
        {Choice::Detail, "0", -1},
        {Choice::Demo, "6", 5},
        {Choice::Demo, "1", 0},
        {Choice::Demo, "", 0},  // empty reads as absent: the default
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(valueNameOf(c.choice)) + " = \"" + c.code + "\"");
        MemoryRegistry reg;
        SettingsStore s(reg);
        s.open();
        reg.put(LM, kSettingsKey, valueNameOf(c.choice), c.code);
        FakeView fresh;
        int detail = 0, demo = 0;
        DecodeHooks h;
        h.detailChosen = [&] { ++detail; };
        h.demoChosen = [&] { ++demo; };
        decodeSettings(s, fresh, h);
        for (Choice other : kAllChoices)
            EXPECT_EQ(fresh.choice(other), other == c.choice ? c.index : freshIndex(other)) << valueNameOf(other);
        // Only a stored code that chooses an item runs the chooser.
        EXPECT_EQ(detail, c.choice == Choice::Detail && c.index >= 0 ? 1 : 0);
        EXPECT_EQ(demo, c.choice == Choice::Demo && c.index >= 0 && *c.code ? 1 : 0);
    }
}

TEST_F(SettingsCodec, ADeletedUserDemoLeavesTheFieldEmptyButKeepsTheChoice) {
    TempDir dir;
    put(sv::Demo, "6");
    put(sv::Demoname, dir / "deleted.dem");
    decode();
    EXPECT_EQ(view.choice(Choice::Demo), 5);
    EXPECT_EQ(view.text(Field::DemoEdit), "");
    EXPECT_EQ(calls.front(), "demo");

    const std::string demo = dir / "mine.dem";
    vantor::test::writeFile(demo, "HL2DEMO");
    put(sv::Demoname, demo);
    FakeView again;
    decodeSettings(store, again, hooks);
    EXPECT_EQ(again.text(Field::DemoEdit), demo);

    put(sv::Demoname, dir.path());  // a folder is not a demo file
    FakeView folder;
    decodeSettings(store, folder, hooks);
    EXPECT_EQ(folder.text(Field::DemoEdit), "");
}

TEST_F(SettingsCodec, TextFields) {
    TempDir dir;
    struct Case {
        const char* what;
        std::optional<std::string> resultPath, customConfig, note;
        std::string resEdit, detailEdit, noteEdit;
    };
    const std::string missing = dir / "gone/";
    const Case cases[] = {
        {"existing report folder", dir.path(), std::nullopt, "fast", dir.path(), "", "fast"},
        {"report folder gone", missing, "C:\\games\\my.cfg", "", "", "C:\\games\\my.cfg", ""},
        {"report path is a file", dir / "file.txt", "/not/there.cfg", std::nullopt, "", "/not/there.cfg", ""},
        {"all absent", std::nullopt, std::nullopt, std::nullopt, "", "", ""},
    };
    vantor::test::writeFile(dir / "file.txt", "x");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryRegistry reg;
        SettingsStore s(reg);
        s.open();
        if (c.resultPath) reg.put(LM, kSettingsKey, sv::ResultPath, *c.resultPath);
        if (c.customConfig) reg.put(LM, kSettingsKey, sv::CustomConfig, *c.customConfig);
        if (c.note) reg.put(LM, kSettingsKey, sv::Note, *c.note);
        FakeView fresh;
        decodeSettings(s, fresh, {});
        EXPECT_EQ(fresh.text(Field::ResEdit), c.resEdit);
        EXPECT_EQ(fresh.text(Field::DetailEdit), c.detailEdit);
        EXPECT_EQ(fresh.text(Field::NoteEdit), c.noteEdit);
    }
}

TEST_F(SettingsCodec, DecodesInTheFixedOrder) {
    TempDir dir;
    const std::string demo = dir / "mine.dem";
    vantor::test::writeFile(demo, "HL2DEMO");
    put(sv::HDDUsage, "1");
    put("1024", "1");
    put(sv::Demo, "6");
    put(sv::Demoname, demo);
    put(sv::AFLevel, "3");
    put(sv::AALevel, "4");
    put(sv::Detail, "3");
    put(sv::CustomConfig, "/cfg/my.cfg");
    put(sv::Note, "note");
    put(sv::DXLevel, "90");
    put(sv::Heapsize, "256000");
    put(sv::Refresh, "75");
    put(sv::Addinfo, "1");
    put(sv::FastZ, "1");

    // What each hook sees tells which steps ran before it.
    std::map<std::string, std::vector<std::string>> seen;
    auto snapshot = [&](const std::string& hook) {
        seen[hook] = {view.checked(Check::HDDUse) ? "HDD" : "",
                      view.resolutionChecked(2) ? "1024" : "",
                      view.text(Field::DemoEdit),
                      std::to_string(view.choice(Choice::AF)),
                      std::to_string(view.choice(Choice::AA)),
                      std::to_string(view.choice(Choice::Detail)),
                      view.text(Field::DetailEdit),
                      view.text(Field::NoteEdit),
                      std::to_string(view.choice(Choice::DirectX)),
                      std::to_string(view.choice(Choice::Refresh)),
                      view.checked(Check::AddInfo) ? "AddInfo" : "",
                      view.checked(Check::FastZ) ? "FastZ" : ""};
        calls.push_back(hook);
    };
    hooks.demoChosen = [&] { snapshot("demo"); };
    hooks.detailChosen = [&] { snapshot("detail"); };
    hooks.afterNote = [&] { snapshot("afterNote"); };
    hooks.addInfoChecked = [&] { snapshot("addinfo"); };
    decode();

    EXPECT_EQ(calls, (std::vector<std::string>{"demo", "detail", "afterNote", "addinfo"}));
    using V = std::vector<std::string>;
    EXPECT_EQ(seen["demo"], (V{"HDD", "1024", "", "-1", "-1", "-1", "", "", "-1", "-1", "", ""}));
    EXPECT_EQ(seen["detail"], (V{"HDD", "1024", demo, "2", "2", "2", "", "", "-1", "-1", "", ""}));
    EXPECT_EQ(seen["afterNote"], (V{"HDD", "1024", demo, "2", "2", "2", "/cfg/my.cfg", "note", "-1", "-1", "", ""}));
    EXPECT_EQ(seen["addinfo"], (V{"HDD", "1024", demo, "2", "2", "2", "/cfg/my.cfg", "note", "3", "2", "AddInfo", ""}));
    EXPECT_EQ(view.choice(Choice::Heapsize), 2);
    EXPECT_TRUE(view.checked(Check::FastZ));
}

TEST_F(SettingsCodec, AddinfoIsReadOnlyWhenTheGameIsKnown) {
    hooks.hl2Known = false;
    put(sv::Addinfo, "1");
    decode();
    EXPECT_FALSE(view.checked(Check::AddInfo));
    EXPECT_EQ(calls, std::vector<std::string>{"afterNote"});

    // Not even read: a value of another type does no harm then.
    registry.putOther(LM, kSettingsKey, sv::Addinfo);
    FakeView again;
    EXPECT_NO_THROW(decodeSettings(store, again, hooks));
    EXPECT_TRUE(again.checked(Check::FastZ));
}

TEST_F(SettingsCodec, AValueOfAnotherTypeStopsDecoding) {
    put(sv::HDDUsage, "1");
    put(sv::Demo, "2");
    registry.putOther(LM, kSettingsKey, sv::AALevel);
    try {
        decode();
        FAIL() << "no SettingsError";
    } catch (const SettingsError& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'AALevel'");
    }
    EXPECT_TRUE(view.checked(Check::HDDUse));
    EXPECT_FALSE(view.checked(Check::FastZ)) << "the later steps are skipped";
    EXPECT_EQ(calls, std::vector<std::string>{"demo"});

    MemoryRegistry reg;
    SettingsStore s(reg);
    s.open();
    reg.putOther(LM, kSettingsKey, sv::Programversion);
    EXPECT_THROW(applySeeding(s), SettingsError);
}

TEST_F(SettingsCodec, EmptyHooksAreSkipped) {
    put(sv::Demo, "6");
    put(sv::Detail, "3");
    put(sv::Addinfo, "1");
    FakeView fresh;
    DecodeHooks none;
    none.hl2Known = true;
    EXPECT_NO_THROW(decodeSettings(store, fresh, none));
    EXPECT_EQ(fresh.choice(Choice::Demo), 5);
    EXPECT_EQ(fresh.choice(Choice::Detail), 2);
    EXPECT_TRUE(fresh.checked(Check::AddInfo));
}

// ---- passes, today's resolutions, report extras -------------------------------------

TEST_F(SettingsCodec, RunOptionsStartWithTheirDefaults) {
    decode();
    EXPECT_EQ(view.choice(Choice::Passes), indexOfCode(Choice::Passes, "1"));
    EXPECT_EQ(view.choice(Choice::AdaptiveThreshold), indexOfCode(Choice::AdaptiveThreshold, "3"));
    EXPECT_EQ(view.choice(Choice::AdaptiveCap), indexOfCode(Choice::AdaptiveCap, "10"));
    EXPECT_FALSE(view.checked(Check::AdaptivePasses));
    EXPECT_FALSE(view.checked(Check::ReportSummary)) << "the classic report by default";
    EXPECT_TRUE(view.checked(Check::ResultFiles));
    EXPECT_FALSE(view.checked(Check::CustomResolution));
    EXPECT_EQ(view.text(Field::CustomResolution), "");
}

TEST_F(SettingsCodec, RunOptionsComeFromTheirStoredValues) {
    put(sv::Passes, "5");
    put(sv::AdaptiveThreshold, "7");
    put(sv::AdaptiveCap, "20");
    put(sv::AdaptivePasses, "1");
    put(sv::ReportSummary, "1");
    put(sv::ResultFiles, "0");
    put(sv::TodayResolutions[1], "1");
    put(sv::TodayResolutions[3], "0");
    put(sv::CustomResolution, "2560x1600");
    put(sv::CustomResolutionOn, "1");
    decode();
    EXPECT_EQ(codeOf(Choice::Passes, view.choice(Choice::Passes)), "5");
    EXPECT_EQ(codeOf(Choice::AdaptiveThreshold, view.choice(Choice::AdaptiveThreshold)), "7");
    EXPECT_EQ(codeOf(Choice::AdaptiveCap, view.choice(Choice::AdaptiveCap)), "20");
    EXPECT_TRUE(view.checked(Check::AdaptivePasses));
    EXPECT_TRUE(view.checked(Check::ReportSummary));
    EXPECT_FALSE(view.checked(Check::ResultFiles));
    for (int i = 0; i < kTodayResolutionCount; ++i) EXPECT_EQ(view.todayResolutionChecked(i), i == 1) << i;
    EXPECT_EQ(view.text(Field::CustomResolution),
              "2560\xC3\x97"
              "1600");
    EXPECT_TRUE(view.checked(Check::CustomResolution));
}

TEST_F(SettingsCodec, UnknownRunOptionCodesFallBackToTheDefaults) {
    const std::pair<const char*, const char*> stored[] = {{sv::Passes, "11"},
                                                          {sv::AdaptiveThreshold, "0"},
                                                          {sv::AdaptiveCap, "1"},
                                                          {sv::CustomResolution, "2561x1600"},
                                                          {sv::CustomResolutionOn, "1"}};
    for (const auto& [name, value] : stored) put(name, value);
    decode();
    EXPECT_EQ(codeOf(Choice::Passes, view.choice(Choice::Passes)), "1");
    EXPECT_EQ(codeOf(Choice::AdaptiveThreshold, view.choice(Choice::AdaptiveThreshold)), "3");
    EXPECT_EQ(codeOf(Choice::AdaptiveCap, view.choice(Choice::AdaptiveCap)), "10");
    // A stored size that is not valid is neither shown nor played.
    EXPECT_EQ(view.text(Field::CustomResolution), "");
    EXPECT_FALSE(view.checked(Check::CustomResolution));
}
