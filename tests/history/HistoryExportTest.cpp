// The history's texts: the bytes of the list and the exports, made one run at a
// time as well as whole.
#include "history/HistoryExport.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>

using namespace vantor;

namespace {

// Runs that touch every rule: quoted CSV fields (comma, quote, line break),
// values one run has and another not, a run without passes, a debug run, a
// byte that is not UTF-8, numbers that need all their digits or an exponent.
std::vector<StoredRun> fixture() {
    std::vector<StoredRun> runs(3);
    runs[0].id = 1;
    runs[0].time = "2026-12-10T21:05:00Z";
    runs[0].started = "12/10/26 22:05:00";
    runs[0].version = "1.3";
    runs[0].demo = "Quorvane - Coast";
    runs[0].status = "The benchmarking is successful.";
    runs[0].report = "/home/u/Reports/result, \"one\".htm";
    runs[0].settings = {{"demo", "Quorvane - Coast"}, {"detail", "Maximum"}, {"note", "line one\nline \"two\""}};
    runs[0].hardware = {{"CPU", "Ryzen 7 7700"}};
    runs[0].passes = {{640, 480, 120.25, 12.5}, {640, 480, 0.1 + 0.2, std::nullopt}, {800, 600, std::nullopt, 30.0}};
    runs[1].id = 2;
    runs[1].time = "2026-12-11T08:00:00Z";
    runs[1].started = "12/11/26 09:00:00";
    runs[1].version = "1.3";
    runs[1].demo = "Quorvane - Canals";
    runs[1].status = "Stopped";
    runs[1].settings = {{"detail", "Low"}, {"debug", "yes"}, {"filter", "Anisotropic 8\u00d7"}, {"note", "caf\xe9"}};
    runs[1].hardware = {{"VGA", "RX 7800"}, {"CPU", "Ryzen 5"}};
    runs[2].id = 7;
    runs[2].time = "2026-12-12T08:00:00Z";
    runs[2].started = "12/12/26 09:00:00";
    runs[2].version = "1.4";
    runs[2].demo = "Quorvane - Town";
    runs[2].status = "ok";
    runs[2].passes = {{1920, 1080, 1.0 / 3.0, 44.125}, {1280, 1024, 1e21, 1e-7}, {1920, 1080, 2.0 / 3.0, 1.0}};
    return runs;
}

std::vector<RunListing> listing(const std::vector<StoredRun>& runs) {
    std::vector<RunListing> out;
    for (const auto& r : runs) {
        RunListing l{r.id, r.time, r.version, r.demo, {}, r.debug()};
        for (auto p : r.passes) {
            p.seconds.reset();
            l.passes.push_back(p);
        }
        out.push_back(l);
    }
    return out;
}

// A JSON text exactly as nlohmann writes the array it holds (indent 2, one
// line break at the end, bytes that are not UTF-8 replaced).
std::string asDumped(const std::string& text) {
    return nlohmann::ordered_json::parse(text).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
           "\n";
}

}  // namespace

TEST(HistoryExport, CsvAndListTextKeepTheirBytes) {
    const auto runs = fixture();
    EXPECT_EQ(
        exportCsv(runs),
        "run,time,started,version,demo,status,report,pass,resolution,width,height,score,seconds,setting:demo,setting:detail,setting:note,setting:debug,setting:filter,hardware:CPU,hardware:VGA\r\n"
        "1,2026-12-10T21:05:00Z,12/10/26 22:05:00,1.3,Quorvane - Coast,The benchmarking is successful.,\"/home/u/Reports/result, \"\"one\"\".htm\",1,640\u00d7480,640,480,120.25,12.5,Quorvane - Coast,Maximum,\"line one\n"
        "line \"\"two\"\"\",,,Ryzen 7 7700,\r\n"
        "1,2026-12-10T21:05:00Z,12/10/26 22:05:00,1.3,Quorvane - Coast,The benchmarking is successful.,\"/home/u/Reports/result, \"\"one\"\".htm\",2,640\u00d7480,640,480,0.30000000000000004,,Quorvane - Coast,Maximum,\"line one\n"
        "line \"\"two\"\"\",,,Ryzen 7 7700,\r\n"
        "1,2026-12-10T21:05:00Z,12/10/26 22:05:00,1.3,Quorvane - Coast,The benchmarking is successful.,\"/home/u/Reports/result, \"\"one\"\".htm\",3,800\u00d7600,800,600,,30,Quorvane - Coast,Maximum,\"line one\n"
        "line \"\"two\"\"\",,,Ryzen 7 7700,\r\n"
        "2,2026-12-11T08:00:00Z,12/11/26 09:00:00,1.3,Quorvane - Canals,Stopped,,,,,,,,,Low,caf\xe9"
        ",yes,Anisotropic 8\u00d7,Ryzen 5,RX 7800\r\n"
        "7,2026-12-12T08:00:00Z,12/12/26 09:00:00,1.4,Quorvane - Town,ok,,1,1920\u00d71080,1920,1080,0.3333333333333333,44.125,,,,,,,\r\n"
        "7,2026-12-12T08:00:00Z,12/12/26 09:00:00,1.4,Quorvane - Town,ok,,2,1280\u00d71024,1280,1024,1e+21,1e-07,,,,,,,\r\n"
        "7,2026-12-12T08:00:00Z,12/12/26 09:00:00,1.4,Quorvane - Town,ok,,3,1920\u00d71080,1920,1080,0.6666666666666666,1,,,,,,,\r\n");
    EXPECT_EQ(exportCsv({}),
              "run,time,started,version,demo,status,report,pass,resolution,width,height,score,seconds\r\n");
    EXPECT_EQ(
        historyText(listing(runs)),
        "Run   Time (UTC)            Version  Demo                  Mean FPS per resolution\n"
        "1     2026-12-10T21:05:00Z  1.3      Quorvane - Coast      640\u00d7480 60.27 (2 passes, \u00b1140.7%), 800\u00d7600 no result\n"
        "2     2026-12-11T08:00:00Z  1.3      Quorvane - Canals (debug) \n"
        "7     2026-12-12T08:00:00Z  1.4      Quorvane - Town       1280\u00d71024 1000000000000000000000.00, 1920\u00d71080 0.50 (2 passes, \u00b147.1%)\n");
    EXPECT_EQ(historyText({}), "No runs stored yet.\n");
}

TEST(HistoryExport, JsonIsTheArrayAsNlohmannWritesIt) {
    const auto runs = fixture();
    for (const std::string& text : {exportJson(runs), historyJson(listing(runs))}) {
        EXPECT_EQ(text, asDumped(text));
        EXPECT_EQ(nlohmann::json::parse(text).size(), 3u);
    }
    const std::string exported = exportJson(runs);
    EXPECT_NE(exported.find("\"note\": \"caf\xef\xbf\xbd\""), std::string::npos)
        << "the byte that is not UTF-8, replaced";
    EXPECT_NE(exported.find("\"score\": 1e+21,"), std::string::npos);
    EXPECT_EQ(exportJson({}), "[]\n");
    EXPECT_EQ(historyJson({}), "[]\n");
}

// A writer hands its text on while it goes, in pieces of bounded size, and the
// pieces are the whole text; start() begins it anew.
TEST(HistoryExport, WritersHandTheirTextOnInBoundedPiecesAsTheyGo) {
    std::vector<StoredRun> many;
    for (int i = 0; i < 3000; ++i) {
        StoredRun r = fixture()[i % 3];
        r.id = i + 1;
        many.push_back(r);
    }
    const std::string whole[] = {exportCsv(many), exportJson(many)};
    for (int form = 0; form < 2; ++form) {
        SCOPED_TRACE(form == 0 ? "CSV" : "JSON");
        std::vector<std::string> pieces;
        std::size_t beforeFinish = 0;
        ExportWriter writer(form == 0 ? ExportWriter::Form::Csv : ExportWriter::Form::Json,
                            [&](std::string_view piece) { pieces.emplace_back(piece); });
        std::vector<std::string> settings, hardware;
        for (const auto& r : many) valueNames(r, settings, hardware);
        writer.setColumns(settings, hardware);
        writer.start();
        writer.add(fixture()[1]);  // dropped by the start below
        writer.start();
        for (const auto& r : many) writer.add(r);
        beforeFinish = pieces.size();
        writer.finish();
        EXPECT_GE(beforeFinish, 4u);
        std::string joined;
        for (const auto& p : pieces) {
            EXPECT_LT(p.size(), 80u * 1024);
            joined += p;
        }
        EXPECT_TRUE(joined == whole[form]) << joined.size() << " bytes against " << whole[form].size();
    }

    std::vector<RunListing> list;
    for (const auto& r : many) list.push_back(listing({r}).front());
    for (auto form : {HistoryListWriter::Form::Text, HistoryListWriter::Form::Json}) {
        std::string joined;
        int pieces = 0;
        HistoryListWriter writer(form, [&](std::string_view piece) {
            joined += piece;
            ++pieces;
        });
        writer.start();
        for (const auto& r : list) writer.add(r);
        writer.finish();
        EXPECT_GE(pieces, 2);
        EXPECT_TRUE(joined == (form == HistoryListWriter::Form::Text ? historyText(list) : historyJson(list)));
    }
}
