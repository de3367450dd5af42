#include "gui/HistoryPage.h"

#include "gui/StyleQt.h"
#include "gui/WindowParts.h"
#include "history/RunComparison.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <exception>

namespace vantor {

using namespace window;

namespace {

const QColor kSecondRun{0x4f, 0xc3, 0xd9};

QString fixed(double v, int digits = 2) { return QString::number(v, 'f', digits); }

QString meanText(const ScoreStats& s) {
    QString t = fixed(s.mean);
    if (s.count > 1) t += QStringLiteral(" \u00b1%1%").arg(fixed(s.relativeSpread * 100.0, 1));
    return t;
}

QString scoresText(const std::vector<StoredPass>& passes) {
    QStringList parts;
    for (const auto& r : scoresByResolution(passes))
        parts << qs(sizeText(r.width, r.height)) + QLatin1Char(' ') +
                     (r.scores.empty() ? QStringLiteral("no result") : fixed(r.stats().mean));
    return parts.join(QStringLiteral(", "));
}

QString settingOf(const StoredRun& run, const char* name) {
    for (const auto& v : run.settings)
        if (v.name == name) return qs(v.value);
    return {};
}

QTableWidget* table(const QStringList& headers, const char* name) {
    auto* t = new QTableWidget(0, static_cast<int>(headers.size()));
    t->setObjectName(QString::fromUtf8(name));
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setAlternatingRowColors(true);
    t->setWordWrap(false);
    t->horizontalHeader()->setHighlightSections(false);
    t->verticalHeader()->setDefaultSectionSize(22);
    return t;
}

// A cell; with a sort value it shows and sorts by that value.
QTableWidgetItem* item(const QString& text, const QVariant& sortValue = {}) {
    auto* i = new QTableWidgetItem;
    if (sortValue.isValid()) {
        i->setData(Qt::DisplayRole, sortValue);
        i->setData(Qt::UserRole, sortValue);
    } else {
        i->setText(text);
    }
    return i;
}

}  // namespace

// ---- chart ------------------------------------------------------------------------------

ScoreChart::ScoreChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("HistoryChart"));
    setMinimumSize(240, 160);
}

void ScoreChart::setData(std::vector<QString> categories, std::vector<Series> series) {
    categories_ = std::move(categories);
    series_ = std::move(series);
    update();
}

void ScoreChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(style::kPanelBorder);
    p.setBrush(style::kPanel);
    p.drawRoundedRect(frame, 6, 6);
    p.setFont(style::font(8));
    const QFontMetrics fm = p.fontMetrics();

    double top = 0;
    for (const auto& s : series_)
        for (const auto& v : s.values)
            if (v) top = std::max(top, *v);
    if (categories_.empty() || top <= 0) {
        p.setPen(style::kMuted);
        p.drawText(rect(), Qt::AlignCenter, tr("Select runs to see their scores"));
        return;
    }
    // A round top for the scale: 1, 2 or 5 times a power of ten above the highest bar.
    const double magnitude = std::pow(10.0, std::floor(std::log10(top)));
    double step = magnitude;
    for (double f : {0.2, 0.5, 1.0, 2.0})
        if (top / (magnitude * f) <= 5.0) {
            step = magnitude * f;
            break;
        }
    const double scaleTop = std::ceil(top / step) * step;

    const int legendHeight = fm.height() + 6;
    const QRectF plot(frame.left() + fm.horizontalAdvance(QStringLiteral("00000")) + 6, frame.top() + legendHeight + 4,
                      frame.width() - fm.horizontalAdvance(QStringLiteral("00000")) - 16,
                      frame.height() - legendHeight - fm.height() - 16);

    // Grid lines and the scale.
    for (double v = 0; v <= scaleTop + step / 2; v += step) {
        const double y = plot.bottom() - v / scaleTop * plot.height();
        p.setPen(QPen(style::kPanelBorder, 1));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(style::kMuted);
        p.drawText(QRectF(frame.left(), y - fm.height() / 2.0, plot.left() - frame.left() - 4, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(v, 'g', 4));
    }

    // Legend.
    qreal x = plot.left();
    for (const auto& s : series_) {
        p.setPen(Qt::NoPen);
        p.setBrush(s.colour);
        p.drawRect(QRectF(x, frame.top() + 7, 10, 10));
        p.setPen(style::kSoftText);
        p.drawText(QPointF(x + 14, frame.top() + 7 + fm.ascent() - 1), s.name);
        x += 14 + fm.horizontalAdvance(s.name) + 16;
    }
    p.setPen(style::kMuted);
    p.drawText(QRectF(plot.left(), frame.top() + 4, plot.width(), fm.height() + 4), Qt::AlignRight | Qt::AlignVCenter,
               tr("mean FPS"));

    // Bars, one group per resolution.
    const double groupWidth = plot.width() / static_cast<double>(categories_.size());
    const double barWidth =
        std::min(36.0, groupWidth * 0.8 / static_cast<double>(std::max<std::size_t>(1, series_.size())));
    for (std::size_t c = 0; c < categories_.size(); ++c) {
        const double centre = plot.left() + groupWidth * (static_cast<double>(c) + 0.5);
        const double start = centre - barWidth * static_cast<double>(series_.size()) / 2.0;
        for (std::size_t s = 0; s < series_.size(); ++s) {
            const auto& v = c < series_[s].values.size() ? series_[s].values[c] : std::nullopt;
            if (!v) continue;
            const double h = *v / scaleTop * plot.height();
            const QRectF bar(start + barWidth * static_cast<double>(s) + 1, plot.bottom() - h, barWidth - 2, h);
            p.setPen(Qt::NoPen);
            p.setBrush(series_[s].colour);
            p.drawRect(bar);
            const QString label = QString::number(*v, 'f', *v < 100 ? 1 : 0);
            if (fm.horizontalAdvance(label) <= barWidth + 6) {
                p.setPen(style::kText);
                p.drawText(QRectF(bar.left() - 6, bar.top() - fm.height() - 1, bar.width() + 12, fm.height()),
                           Qt::AlignHCenter | Qt::AlignBottom, label);
            }
        }
        // A label wider than its group gets a smaller font before it is cut.
        p.setPen(style::kSoftText);
        p.setFont(style::font(fm.horizontalAdvance(categories_[c]) > groupWidth ? 7 : 8));
        const double room = groupWidth;
        p.drawText(QRectF(centre - room / 2, plot.bottom() + 4, room, fm.height()), Qt::AlignHCenter | Qt::TextDontClip,
                   p.fontMetrics().elidedText(categories_[c], Qt::ElideRight, static_cast<int>(room)));
        p.setFont(style::font(8));
    }
}

// ---- page -------------------------------------------------------------------------------

HistoryPage::HistoryPage(std::string historyPath, QWidget* parent) : QWidget(parent), path_(std::move(historyPath)) {
    setObjectName(QStringLiteral("HistoryPage"));
    auto* body = new QVBoxLayout(this);
    body->setContentsMargins(4, 0, 4, 0);
    body->setSpacing(8);
    auto* title = textLabel(QStringLiteral("History"), "heading");
    title->setTextFormat(Qt::PlainText);
    body->addWidget(title);
    auto* rule = new QFrame;
    rule->setFixedSize(48, 3);
    rule->setAutoFillBackground(true);
    QPalette accent = rule->palette();
    accent.setColor(QPalette::Window, style::kAccent);
    rule->setPalette(accent);
    body->addWidget(rule);

    message_ = textLabel(QString(), "caption");
    message_->setObjectName(QStringLiteral("HistoryMessage"));
    message_->setWordWrap(true);
    body->addWidget(message_);

    runs_ =
        table({tr("Run"), tr("Time (UTC)"), tr("Demo"), tr("Detail"), tr("Mean FPS per resolution")}, "HistoryRuns");
    runs_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    runs_->setSortingEnabled(true);
    runs_->horizontalHeader()->setStretchLastSection(true);
    body->addWidget(runs_, 2);
    runs_->setMinimumHeight(80);
    connect(runs_, &QTableWidget::itemSelectionChanged, this, [this] { selectionChanged(); });

    // The comparison, then the chart, each the page's full width.
    comparison_ =
        table({tr("Resolution"), tr("Older"), tr("Newer"), tr("Difference"), tr("Verdict")}, "HistoryComparison");
    comparison_->setSelectionMode(QAbstractItemView::NoSelection);
    comparison_->horizontalHeader()->setStretchLastSection(true);
    body->addWidget(comparison_, 3);
    chart_ = new ScoreChart;
    chart_->setMinimumHeight(130);
    body->addWidget(chart_, 3);
}

QString HistoryPage::message() const { return message_->text(); }

void HistoryPage::reload() {
    stored_.clear();
    QString message;
    try {
        HistoryStore store(path_, false);
        stored_ = store.runs();
        if (!store.notice().empty()) message = qs(store.notice());
    } catch (const std::exception& e) {
        message = tr("The history cannot be read: %1").arg(qs(e.what()));
    }
    if (message.isEmpty())
        message = stored_.empty() ? tr("No runs stored yet: every finished run is kept here.")
                                  : tr("Select two runs to compare them (Ctrl+click).");
    message_->setText(message);

    runs_->setSortingEnabled(false);
    runs_->clearContents();
    runs_->setRowCount(static_cast<int>(stored_.size()));
    for (std::size_t i = 0; i < stored_.size(); ++i) {
        const StoredRun& r = stored_[i];
        const int row = static_cast<int>(i);
        runs_->setItem(row, 0, item(QString::number(r.id), QVariant::fromValue<qlonglong>(r.id)));
        runs_->setItem(row, 1, item(qs(r.time).replace(QLatin1Char('T'), QLatin1Char(' ')).remove(QLatin1Char('Z'))));
        runs_->setItem(row, 2, item(qs(r.shownDemo())));
        runs_->setItem(row, 3, item(settingOf(r, "detail")));
        runs_->setItem(row, 4, item(scoresText(r.passes)));
    }
    runs_->setSortingEnabled(true);
    runs_->sortByColumn(0, Qt::DescendingOrder);
    runs_->resizeColumnsToContents();
    selectionChanged();
}

void HistoryPage::selectRuns(const std::vector<std::int64_t>& ids) {
    runs_->clearSelection();
    auto* model = runs_->selectionModel();
    for (int row = 0; row < runs_->rowCount(); ++row) {
        const auto id = runs_->item(row, 0)->data(Qt::UserRole).toLongLong();
        if (std::find(ids.begin(), ids.end(), id) != ids.end())
            model->select(runs_->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void HistoryPage::selectionChanged() {
    std::vector<const StoredRun*> chosen;
    for (const auto& index : runs_->selectionModel()->selectedRows()) {
        const auto id = runs_->item(index.row(), 0)->data(Qt::UserRole).toLongLong();
        for (const auto& r : stored_)
            if (r.id == id) chosen.push_back(&r);
    }
    std::sort(chosen.begin(), chosen.end(), [](auto* a, auto* b) { return a->id < b->id; });
    // More than two: the two newest.
    if (chosen.size() > 2) chosen.erase(chosen.begin(), chosen.end() - 2);

    comparison_->clearContents();
    comparison_->setRowCount(0);
    if (chosen.empty()) {
        comparison_->setHorizontalHeaderLabels(
            {tr("Resolution"), tr("Older"), tr("Newer"), tr("Difference"), tr("Verdict")});
        chart_->setData({}, {});
        return;
    }
    const StoredRun& first = *chosen.front();
    const StoredRun* second = chosen.size() == 2 ? chosen.back() : nullptr;
    comparison_->setHorizontalHeaderLabels({tr("Resolution"), tr("Run %1").arg(first.id),
                                            second ? tr("Run %1").arg(second->id) : QString(), tr("Difference"),
                                            tr("Verdict")});
    const auto rows = compareRuns(first.passes, second ? second->passes : std::vector<StoredPass>{});
    comparison_->setRowCount(static_cast<int>(rows.size()));
    std::vector<QString> categories;
    ScoreChart::Series a{tr("Run %1").arg(first.id), style::kAccent, {}};
    ScoreChart::Series b{second ? tr("Run %1").arg(second->id) : QString(), kSecondRun, {}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& c = rows[i];
        const int row = static_cast<int>(i);
        categories.push_back(qs(sizeText(c.width, c.height)));
        a.values.push_back(c.first ? std::optional<double>(c.first->mean) : std::nullopt);
        b.values.push_back(c.second ? std::optional<double>(c.second->mean) : std::nullopt);
        comparison_->setItem(row, 0, item(categories.back()));
        comparison_->setItem(row, 1, item(c.first ? meanText(*c.first) : QStringLiteral("-")));
        comparison_->setItem(row, 2, item(!second ? QString() : c.second ? meanText(*c.second) : QStringLiteral("-")));
        comparison_->setItem(
            row, 3,
            item(c.differencePercent ? QString::asprintf("%+.1f%%", *c.differencePercent) : QStringLiteral("-")));
        QString verdict = c.verdict ? QString::fromUtf8(verdictText(*c.verdict)) : QString();
        if (!c.verdict && second) verdict = tr("only in run %1").arg(c.first ? first.id : second->id);
        auto* v = item(verdict);
        if (c.verdict == Verdict::Faster) v->setForeground(QColor(0x6a, 0xd0, 0x7a));
        if (c.verdict == Verdict::Slower) v->setForeground(QColor(0xf0, 0x6a, 0x5a));
        comparison_->setItem(row, 4, v);
    }
    comparison_->resizeColumnsToContents();
    std::vector<ScoreChart::Series> series{a};
    if (second) series.push_back(b);
    chart_->setData(std::move(categories), std::move(series));
}

}  // namespace vantor
