#include "report/ReportSummary.h"

#include "report/ReportWriter.h"

#include <algorithm>

namespace vantor {
namespace {

constexpr int kChartWidth = 640;
constexpr int kLabelWidth = 110;
constexpr int kBarSpace = 420;
constexpr int kRowHeight = 26;
constexpr int kBarHeight = 18;
constexpr int kChartTop = 24;

// Figures stay on one line; only the reason may wrap.
std::string cell(const std::string& text) { return "<td nowrap>" + text + "</td>"; }
std::string wrappingCell(const std::string& text) { return "<td>" + text + "</td>"; }

}  // namespace

std::vector<std::string> summaryLines(const std::vector<ResolutionResult>& results) {
    std::vector<std::string> lines;
    lines.push_back("<BR><B><FONT size=5>Summary</FONT></B><BR>");
    lines.push_back("<table border=\"1\" cellpadding=\"4\" cellspacing=\"0\">");
    lines.push_back("<tr><th>Resolution</th><th>Passes</th><th>Mean</th><th>Min</th><th>Max</th><th>Spread</th></tr>");
    double top = 0;
    for (const auto& r : results) {
        std::string row = "<tr>" + cell(resolutionText(r.resolution)) + wrappingCell(htmlEscape(r.reason));
        if (r.scores.empty()) {
            row += cell("no result") + cell("-") + cell("-") + cell("-");
        } else {
            top = std::max(top, r.stats.mean);
            row += cell(fixed2(r.stats.mean) + " FPS") + cell(fixed2(r.stats.min)) + cell(fixed2(r.stats.max));
            row += cell(r.scores.size() < 2
                            ? std::string("-")
                            : "&plusmn;" + fixed2(r.stats.stddev) + " (" + percentText(r.stats.relativeSpread) + ")");
        }
        lines.push_back(row + "</tr>");
    }
    lines.push_back("</table><br>");

    const int height = kChartTop + kRowHeight * static_cast<int>(results.size()) + 6;
    lines.push_back("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(kChartWidth) +
                    "\" height=\"" + std::to_string(height) +
                    "\" role=\"img\" aria-label=\"Mean score by resolution\" font-family=\"sans-serif\" "
                    "font-size=\"13\">");
    lines.push_back("<text x=\"0\" y=\"15\" font-weight=\"bold\">Mean score (FPS)</text>");
    int y = kChartTop;
    for (const auto& r : results) {
        const std::string baseline = std::to_string(y + 14);
        lines.push_back("<text x=\"" + std::to_string(kLabelWidth - 8) + "\" y=\"" + baseline +
                        "\" text-anchor=\"end\">" + resolutionText(r.resolution) + "</text>");
        if (!r.scores.empty() && top > 0) {
            const int width = std::max(1, static_cast<int>(kBarSpace * std::max(0.0, r.stats.mean) / top + 0.5));
            lines.push_back("<rect x=\"" + std::to_string(kLabelWidth) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
                            std::to_string(width) + "\" height=\"" + std::to_string(kBarHeight) +
                            "\" fill=\"#0066FF\"/>");
            lines.push_back("<text x=\"" + std::to_string(kLabelWidth + width + 6) + "\" y=\"" + baseline + "\">" +
                            fixed2(r.stats.mean) + "</text>");
        } else {
            lines.push_back("<text x=\"" + std::to_string(kLabelWidth) + "\" y=\"" + baseline +
                            "\" fill=\"#990000\">no result</text>");
        }
        y += kRowHeight;
    }
    lines.push_back("</svg>");
    lines.push_back("<br><HR>");
    return lines;
}

}  // namespace vantor
