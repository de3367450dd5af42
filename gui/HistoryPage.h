#pragma once
// The "History" page: the stored runs in a sortable table, two selected runs
// compared side by side (the verdicts vantor-cli compare gives) and a chart of
// their mean scores per resolution.

#include "history/HistoryStore.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QLabel;
class QTableWidget;

namespace vantor {

// Grouped bars: one group per resolution, one bar per run.
class ScoreChart : public QWidget {
    Q_OBJECT
public:
    struct Series {
        QString name;
        QColor colour;
        std::vector<std::optional<double>> values;  // one per category; nothing: no bar
    };
    explicit ScoreChart(QWidget* parent = nullptr);
    void setData(std::vector<QString> categories, std::vector<Series> series);
    const std::vector<QString>& categories() const { return categories_; }
    const std::vector<Series>& series() const { return series_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<QString> categories_;
    std::vector<Series> series_;
};

class HistoryPage : public QWidget {
    Q_OBJECT
public:
    // historyPath: the history file, read each time the page loads.
    explicit HistoryPage(std::string historyPath, QWidget* parent = nullptr);

    // Reads the stored runs again (each time the page is shown).
    void reload();
    // Selects the runs with these ids in the table (the comparison follows).
    void selectRuns(const std::vector<std::int64_t>& ids);

    QTableWidget* runsTable() const { return runs_; }
    QTableWidget* comparisonTable() const { return comparison_; }
    ScoreChart* chart() const { return chart_; }
    QString message() const;

private:
    void selectionChanged();

    std::string path_;
    std::vector<StoredRun> stored_;
    QLabel* message_ = nullptr;
    QTableWidget* runs_ = nullptr;
    QTableWidget* comparison_ = nullptr;
    ScoreChart* chart_ = nullptr;
};

}  // namespace vantor
