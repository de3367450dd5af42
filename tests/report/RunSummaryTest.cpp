#include "report/RunSummary.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace vantor;

TEST(RunSummaryJson, WritesTheRunAsOneObjectWithScoresAsNumbersWhereTheyAreNumbers) {
    RunSummary run;
    run.status = "Benchmark aborted.";
    run.started = "03/14/05 21:05:09";
    run.resolutions = {"640\u00D7480", "800\u00D7600", "1024\u00D7768", "1280\u00D71024"};
    run.passes = {{640, 480, "640\u00D7480", "87.53"},
                  {800, 600, "800\u00D7600", std::nullopt},
                  {1024, 768, "1024\u00D7768", "n/a"},
                  {1280, 1024, "1280\u00D71024", "1e9"}};
    run.settings.demo = "Custom demo - \"mine\".dem";
    run.settings.note = "bad \xFF byte";
    run.settings.fastZ = true;

    const std::string text = runSummaryJson(run);
    EXPECT_EQ(text.back(), '\n');
    const auto json = nlohmann::json::parse(text);
    EXPECT_EQ(json["status"], "Benchmark aborted.");
    EXPECT_EQ(json["succeeded"], false);
    EXPECT_TRUE(json["report"].is_null());
    EXPECT_EQ(json["started"], "03/14/05 21:05:09");
    EXPECT_EQ(json["resolutions"].size(), 4u);
    const auto& passes = json["passes"];
    ASSERT_EQ(passes.size(), 4u);
    EXPECT_EQ(passes[0]["resolution"], "640\u00D7480");
    EXPECT_EQ(passes[0]["width"], 640);
    EXPECT_EQ(passes[0]["height"], 480);
    EXPECT_DOUBLE_EQ(passes[0]["score"].get<double>(), 87.53);
    EXPECT_TRUE(passes[1]["score"].is_null());
    EXPECT_EQ(passes[2]["score"], "n/a");  // not a number: kept as the game wrote it
    EXPECT_EQ(passes[3]["score"], "1e9");  // the game writes plain decimals only
    EXPECT_EQ(json["settings"]["demo"], "Custom demo - \"mine\".dem");
    EXPECT_EQ(json["settings"]["note"], "bad \uFFFD byte");
    EXPECT_EQ(json["settings"]["fastZ"], true);
    // The keys keep their order.
    EXPECT_LT(text.find("\"status\""), text.find("\"succeeded\""));
    EXPECT_LT(text.find("\"passes\""), text.find("\"settings\""));
}
