// Page 7, "Passes & results": today's resolutions and the user's own size,
// passes per resolution with adaptive passes, the report's summary and the
// result files. Each control stores its value when it changes.

#include "gui/MainWindow.h"

#include "gui/WindowParts.h"

#include "app/MainController.h"
#include "app/OptionHandlers.h"
#include "core/Resolutions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <span>
#include <string_view>

namespace vantor {

using namespace window;

namespace {

QComboBox* itemList(const char* name, std::span<const std::string_view> items) {
    auto* box = new QComboBox;
    box->setObjectName(QString::fromUtf8(name));
    for (auto item : items) box->addItem(qs(item));
    box->setCurrentIndex(-1);
    return box;
}

}  // namespace

void MainWindow::syncAdaptiveLists() {
    if (!adaptiveBox_) return;
    thresholdBox_->setEnabled(adaptiveBox_->isChecked());
    capBox_->setEnabled(adaptiveBox_->isChecked());
}

void MainWindow::buildPassesPage(QVBoxLayout* body) {
    body->setSpacing(10);
    auto* today = new QGroupBox(QStringLiteral(" Today's resolutions "));
    today->setObjectName(QStringLiteral("TodayRes"));
    auto* grid = new QGridLayout(today);
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(10);
    for (int i = 0; i < kTodayResolutionCount; ++i) {
        auto* box = new QCheckBox(qs(kTodayResolutionItems[static_cast<std::size_t>(i)]));
        box->setObjectName(QStringLiteral("TodayRes%1").arg(i));
        todayBoxes_[static_cast<std::size_t>(i)] = box;
        grid->addWidget(box, i / 4, i % 4);
    }
    customResBox_ = new QCheckBox(QStringLiteral("Custom:"));
    customResBox_->setObjectName(QStringLiteral("CustomResBox"));
    customResEdit_ = new QLineEdit;
    customResEdit_->setObjectName(QStringLiteral("CustomResEdit"));
    customResEdit_->setTextMargins(4, 0, 4, 0);
    customResEdit_->setPlaceholderText(QStringLiteral("2560\u00d71600"));
    customResEdit_->setMaxLength(24);
    customResEdit_->setToolTip(
        QStringLiteral("Width \u00d7 height: even numbers from 2 to %1").arg(kMaxResolutionSide));
    grid->addWidget(customResBox_, 1, 2);
    grid->addWidget(customResEdit_, 1, 3);
    body->addWidget(today);

    auto* passes = new QGroupBox(QStringLiteral(" Passes "));
    auto* p = new QGridLayout(passes);
    p->setHorizontalSpacing(14);
    p->setVerticalSpacing(4);
    passesBox_ = itemList("PassesBox", kPassesItems);
    thresholdBox_ = itemList("ThresholdBox", kThresholdItems);
    capBox_ = itemList("CapBox", kCapItems);
    adaptiveBox_ = new QCheckBox(QStringLiteral("Adaptive passes"));
    adaptiveBox_->setObjectName(QStringLiteral("AdaptiveBox"));
    adaptiveBox_->setToolTip(
        QStringLiteral("Plays a resolution again while its scores spread more than the threshold, up to the cap."));
    p->addWidget(textLabel(QStringLiteral("Passes per resolution"), "caption"), 0, 0);
    p->addWidget(textLabel(QStringLiteral("Spread threshold"), "caption"), 0, 2);
    p->addWidget(textLabel(QStringLiteral("At most (passes)"), "caption"), 0, 3);
    p->addWidget(passesBox_, 1, 0);
    p->addWidget(adaptiveBox_, 1, 1);
    p->addWidget(thresholdBox_, 1, 2);
    p->addWidget(capBox_, 1, 3);
    for (int c = 0; c < 4; ++c) p->setColumnStretch(c, 1);
    body->addWidget(passes);

    auto* results = new QGroupBox(QStringLiteral(" Results "));
    auto* r = new QVBoxLayout(results);
    r->setSpacing(8);
    summaryBox_ = new QCheckBox(QStringLiteral("Summary and chart in the report"));
    summaryBox_->setObjectName(QStringLiteral("SummaryBox"));
    resultFilesBox_ = new QCheckBox(QStringLiteral("Result files (JSON and CSV) beside the report"));
    resultFilesBox_->setObjectName(QStringLiteral("ResultFilesBox"));
    r->addWidget(summaryBox_, 0, Qt::AlignLeft);
    r->addWidget(resultFilesBox_, 0, Qt::AlignLeft);
    body->addWidget(results);
    body->addStretch(1);

    // The states set before the page existed.
    for (int i = 0; i < kTodayResolutionCount; ++i)
        setTodayResolutionChecked(i, model_.today[static_cast<std::size_t>(i)]);
    for (auto c : {Choice::Passes, Choice::AdaptiveThreshold, Choice::AdaptiveCap}) {
        const auto chosen = model_.choices.find(c);
        setChoice(c, chosen == model_.choices.end() ? -1 : chosen->second);
    }
    for (auto c : {Check::AdaptivePasses, Check::ReportSummary, Check::ResultFiles, Check::CustomResolution})
        setChecked(c, model_.checks[c]);
    setText(Field::CustomResolution, model_.fields[Field::CustomResolution]);

    auto run = [this](void (OptionHandlers::*handler)()) {
        if (controller_) handle([this, handler] { (controller_->options().*handler)(); });
    };
    for (QCheckBox* box : todayBoxes_)
        connect(box, &QCheckBox::clicked, this, [run] { run(&OptionHandlers::todaySizesChanged); });
    connect(passesBox_, &QComboBox::activated, this, [run] { run(&OptionHandlers::passesChanged); });
    connect(thresholdBox_, &QComboBox::activated, this, [run] { run(&OptionHandlers::thresholdChanged); });
    connect(capBox_, &QComboBox::activated, this, [run] { run(&OptionHandlers::capChanged); });
    connect(adaptiveBox_, &QCheckBox::clicked, this, [this, run] {
        syncAdaptiveLists();
        run(&OptionHandlers::adaptiveClicked);
    });
    connect(summaryBox_, &QCheckBox::clicked, this, [run] { run(&OptionHandlers::reportSummaryClicked); });
    connect(resultFilesBox_, &QCheckBox::clicked, this, [run] { run(&OptionHandlers::resultFilesClicked); });
    connect(customResBox_, &QCheckBox::clicked, this, [run] { run(&OptionHandlers::customSizeClicked); });
    connect(customResEdit_, &QLineEdit::editingFinished, this, [this] {
        // Leaving the field after a refusal must not ask again and again.
        if (!customResEdit_->isModified() || !controller_) return;
        customResEdit_->setModified(false);
        handle([this] { controller_->options().customSizeEdited(); });
    });
}

}  // namespace vantor
