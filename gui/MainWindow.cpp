#include "gui/MainWindow.h"

#include <QGuiApplication>

#include "gui/WindowParts.h"

#include "app/MainController.h"
#include "app/OptionHandlers.h"
#include "app/RunHistory.h"
#include "gui/DonationForm.h"
#include "gui/HistoryPage.h"
#include "gui/JpegImageQt.h"
#include "gui/StyleQt.h"
#include "run/RunEstimate.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <exception>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace vantor {

using namespace window;

// ---- construction ---------------------------------------------------------------------

MainWindow::MainWindow(const std::string& picturesFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), pictures_(picturesFolder) {
    setObjectName(QStringLiteral("MainWindow"));
    setFixedSize(kWindowWidth, kWindowHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);

    for (auto c : {Control::BenchButton, Control::DebugBtn, Control::UpdateButton}) enabled_[c] = true;
    for (auto c : {Control::DetailEdit, Control::DetailButton, Control::DemoEdit, Control::DemoEditButton})
        enabled_[c] = false;

    buildTitleArea();
    buildSideMenu();

    // The page area holds seven empty pages; each is filled when first needed.
    pageControl_ = new QStackedWidget(this);
    pageControl_->setObjectName(QStringLiteral("PageControl"));
    pageControl_->setGeometry(kContentArea);
    for (int i = 0; i < kPageCount; ++i) {
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("Page%1").arg(i));
        pageControl_->addWidget(page);
    }
    buildAboutView();

    statusInfo_ = new QLabel(this);
    statusInfo_->setObjectName(QStringLiteral("StatusInfo"));
    statusInfo_->setGeometry(0, kWindowHeight - kStatusHeight, kWindowWidth, kStatusHeight);
    statusInfo_->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    statusInfo_->setIndent(14);
    // A status that names a file (a report, a folder) can be selected and copied.
    statusInfo_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    style::setTextColour(statusInfo_, QColor(0xd6, 0xdc, 0xe5));

    openGroup(-1);
    showAboutView();
}

MainWindow::~MainWindow() {
    // The children go after this body: nothing of theirs reaches the controller any more.
    controller_ = nullptr;
    leaveHandlers_.clear();
    clickHandlers_.clear();
}

// ---- binding ---------------------------------------------------------------------------

void MainWindow::bind(MainController& controller) { controller_ = &controller; }

void MainWindow::handle(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        // The application's general error box.
        if (controller_)
            controller_->context().dialogs.error(e.what());
        else
            throw;
    }
}

void MainWindow::onMouseLeave(QWidget* control, std::function<void()> handler) {
    leaveHandlers_[control] = std::move(handler);
    control->installEventFilter(this);
}

void MainWindow::onClick(QWidget* label, std::function<void()> handler) {
    clickHandlers_[label] = std::move(handler);
    label->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Leave) {
        auto it = leaveHandlers_.find(watched);
        if (it != leaveHandlers_.end() && controller_) handle(it->second);
    } else if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto it = clickHandlers_.find(watched);
        if (it != clickHandlers_.end() && mouse->button() == Qt::LeftButton) {
            auto* w = static_cast<QWidget*>(watched);
            if (w->rect().contains(mouse->position().toPoint())) it->second();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::setUpdateAction(std::function<void()> action) {
    updateAction_ = std::move(action);
    applyEnabled(Control::UpdateButton);
}

void MainWindow::setDebugAction(std::function<void()> action) {
    debugAction_ = std::move(action);
    applyEnabled(Control::DebugBtn);
}

void MainWindow::setHardwareWindowAction(std::function<void()> action) {
    hardwareAction_ = std::move(action);
    if (!toolButton7_) return;
    toolButton7_->setEnabled(static_cast<bool>(hardwareAction_));
    toolButton7_->setToolTip(hardwareAction_ ? QString() : QString::fromUtf8(kNotAvailableHint));
}

void MainWindow::updateDeferredButton(QAbstractButton* button, Control c) {
    const bool available = c == Control::DebugBtn ? static_cast<bool>(debugAction_) : static_cast<bool>(updateAction_);
    button->setEnabled(available && enabled_[c]);
    button->setToolTip(available ? QString() : QString::fromUtf8(kNotAvailableHint));
}

// Shows the enabled state the core set on the control, once it exists.
void MainWindow::applyEnabled(Control c) {
    const bool on = enabled_[c];
    switch (c) {
        case Control::BenchButton: benchButton_->setEnabled(on); break;
        case Control::DebugBtn:
            if (debugBtn_) updateDeferredButton(debugBtn_, c);
            break;
        case Control::UpdateButton:
            if (toolButton3_) updateDeferredButton(toolButton3_, c);
            break;
        case Control::DetailEdit:
            if (detailEdit_) detailEdit_->setEnabled(on);
            break;
        case Control::DetailButton:
            if (detailButton_) detailButton_->setEnabled(on);
            break;
        case Control::DemoEdit:
            if (demoEdit_) demoEdit_->setEnabled(on);
            break;
        case Control::DemoEditButton:
            if (demoEditButton_) demoEditButton_->setEnabled(on);
            break;
    }
}

// ---- the view -----------------------------------------------------------------------------
// A control that exists answers for itself; before its page is built, the model does.

bool MainWindow::resolutionChecked(int index) const {
    if (index < 0 || index >= kResolutionCount) return false;
    const auto i = static_cast<std::size_t>(index);
    return resBoxes_[i] ? resBoxes_[i]->isChecked() : model_.res[i];
}

void MainWindow::setResolutionChecked(int index, bool on) {
    if (index < 0 || index >= kResolutionCount) return;
    const auto i = static_cast<std::size_t>(index);
    model_.res[i] = on;
    if (QCheckBox* box = resBoxes_[i]) {
        const QSignalBlocker block(box);
        box->setChecked(on);
    }
}

bool MainWindow::todayResolutionChecked(int index) const {
    if (index < 0 || index >= kTodayResolutionCount) return false;
    const auto i = static_cast<std::size_t>(index);
    return todayBoxes_[i] ? todayBoxes_[i]->isChecked() : model_.today[i];
}

void MainWindow::setTodayResolutionChecked(int index, bool on) {
    if (index < 0 || index >= kTodayResolutionCount) return;
    const auto i = static_cast<std::size_t>(index);
    model_.today[i] = on;
    if (QCheckBox* box = todayBoxes_[i]) {
        const QSignalBlocker block(box);
        box->setChecked(on);
    }
}

namespace {

void selectRadio(QButtonGroup* group, int index) {
    const QSignalBlocker blockGroup(group);
    const auto buttons = group->buttons();
    std::vector<std::unique_ptr<QSignalBlocker>> blocks;
    for (auto* b : buttons) blocks.push_back(std::make_unique<QSignalBlocker>(b));
    if (QAbstractButton* button = group->button(index)) {
        button->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (auto* b : buttons) b->setChecked(false);
    group->setExclusive(true);
}

}  // namespace

int MainWindow::choice(Choice c) const {
    switch (c) {
        case Choice::Detail:
            if (detailGroup_) return detailGroup_->checkedId();
            break;
        case Choice::Demo:
            if (demoGroup_) return demoGroup_->checkedId();
            break;
        case Choice::AF:
            if (afBox_) return afBox_->currentIndex();
            break;
        case Choice::AA:
            if (aaBox_) return aaBox_->currentIndex();
            break;
        case Choice::Heapsize:
            if (heapsizeBox_) return heapsizeBox_->currentIndex();
            break;
        case Choice::Refresh:
            if (refreshBox_) return refreshBox_->currentIndex();
            break;
        case Choice::DirectX:
            if (directXBox_) return directXBox_->currentIndex();
            break;
        case Choice::Passes:
            if (passesBox_) return passesBox_->currentIndex();
            break;
        case Choice::AdaptiveThreshold:
            if (thresholdBox_) return thresholdBox_->currentIndex();
            break;
        case Choice::AdaptiveCap:
            if (capBox_) return capBox_->currentIndex();
            break;
    }
    auto it = model_.choices.find(c);
    return it == model_.choices.end() ? -1 : it->second;
}

void MainWindow::setChoice(Choice c, int index) {
    if (index < 0 || index >= choiceItemCount(c)) index = -1;
    model_.choices[c] = index;
    QComboBox* box = nullptr;
    switch (c) {
        case Choice::Detail:
            if (detailGroup_) selectRadio(detailGroup_, index);
            return;
        case Choice::Demo:
            if (demoGroup_) selectRadio(demoGroup_, index);
            return;
        case Choice::AF: box = afBox_; break;
        case Choice::AA: box = aaBox_; break;
        case Choice::Heapsize: box = heapsizeBox_; break;
        case Choice::Refresh: box = refreshBox_; break;
        case Choice::DirectX: box = directXBox_; break;
        case Choice::Passes: box = passesBox_; break;
        case Choice::AdaptiveThreshold: box = thresholdBox_; break;
        case Choice::AdaptiveCap: box = capBox_; break;
    }
    if (!box) return;
    const QSignalBlocker block(box);
    box->setCurrentIndex(index);
}

QCheckBox* MainWindow::checkBoxOf(Check c) const {
    switch (c) {
        case Check::FastZ: return fastZBox_;
        case Check::HDDUse: return hddUseBox_;
        case Check::AddInfo: return addInfoBox_;
        case Check::AdaptivePasses: return adaptiveBox_;
        case Check::ReportSummary: return summaryBox_;
        case Check::ResultFiles: return resultFilesBox_;
        case Check::CustomResolution: return customResBox_;
    }
    return nullptr;
}

bool MainWindow::checked(Check c) const {
    if (QCheckBox* box = checkBoxOf(c)) return box->isChecked();
    auto it = model_.checks.find(c);
    return it != model_.checks.end() && it->second;
}

void MainWindow::setChecked(Check c, bool on) {
    model_.checks[c] = on;
    if (QCheckBox* box = checkBoxOf(c)) {
        const QSignalBlocker block(box);
        box->setChecked(on);
    }
    if (c == Check::AdaptivePasses) syncAdaptiveLists();
}

QLineEdit* MainWindow::editOf(Field f) const {
    switch (f) {
        case Field::CustomResolution: return customResEdit_;
        case Field::HL2Path: return hl2PathEdit_;
        case Field::SteamPath: return steamPathEdit_;
        case Field::DetailEdit: return detailEdit_;
        case Field::DemoEdit: return demoEdit_;
        case Field::ResEdit: return resEdit_;
        case Field::NoteEdit: return noteEdit_;
    }
    return nullptr;
}

std::string MainWindow::text(Field f) const {
    if (QLineEdit* edit = editOf(f)) return edit->text().toStdString();
    auto it = model_.fields.find(f);
    return it == model_.fields.end() ? std::string() : it->second;
}

void MainWindow::setText(Field f, const std::string& value) {
    model_.fields[f] = value;
    QLineEdit* edit = editOf(f);
    if (!edit) return;
    const QSignalBlocker block(edit);
    edit->setText(QString::fromStdString(value));
    edit->setCursorPosition(0);
}

void MainWindow::setLabel(Label l, const std::string& value) {
    model_.labels[l] = value;
    QString text = QString::fromStdString(value);
    switch (l) {
        case Label::VerseLabel: verselabel_->setText(text); break;
        case Label::ProgramVersion:
            if (label17_) label17_->setText(text);
            break;
        case Label::HeaderVersion:
            if (!headerVersion_) break;
            // Stored with CR LF after every line: shown as lines.
            text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            while (text.endsWith(QLatin1Char('\n'))) text.chop(1);
            headerVersion_->setText(text);
            break;
    }
}

void MainWindow::setEnabled(Control c, bool on) {
    enabled_[c] = on;
    applyEnabled(c);
}

bool MainWindow::isEnabled(Control c) const {
    auto it = enabled_.find(c);
    return it != enabled_.end() && it->second;
}

std::string MainWindow::status() const { return statusInfo_->text().toStdString(); }

void MainWindow::setStatus(const std::string& value) {
    const QString text = QString::fromStdString(value);
    statusInfo_->setText(text);
    // Cut off in the line, whole in the tooltip.
    statusInfo_->setToolTip(text);
}

void MainWindow::setDebugModeActive(bool active) {
    debugModeActive_ = active;
    setWindowTitle(active ? QGuiApplication::applicationDisplayName() + QStringLiteral(" \u2014 debug mode")
                          : QGuiApplication::applicationDisplayName());
    if (debugBtn_) debugBtn_->setText(active ? QStringLiteral("Debug mode is on") : QStringLiteral("Start debug mode"));
}

void MainWindow::repaint() { QWidget::repaint(); }

void MainWindow::showPage(int index) {
    if (index < 0 || index >= pageControl_->count()) return;
    ensurePage(index);
    aboutView_->hide();
    pageControl_->setCurrentIndex(index);
    pageControl_->show();
    verselabel_->hide();
    hl2logo_->show();
    markMenu();
}

void MainWindow::showAboutView() {
    pageControl_->hide();
    aboutView_->show();
    verselabel_->show();
    hl2logo_->hide();
    markMenu();
}

void MainWindow::markMenu() {
    const int current = currentPage();
    for (auto& [page, item] : pageItems_) item->setChecked(page == current);
    if (aboutItem_) aboutItem_->setChecked(current == -1);
    if (historyItem_) historyItem_->setChecked(historyPage_ && current == pageControl_->indexOf(historyPage_));
}

void MainWindow::showHistory() {
    if (!historyPage_) {
        historyPage_ = new HistoryPage(historyFilePath());
        pageControl_->addWidget(historyPage_);
    }
    historyPage_->reload();
    showPage(pageControl_->indexOf(historyPage_));
}

int MainWindow::currentPage() const { return pageControl_->isHidden() ? -1 : pageControl_->currentIndex(); }

void MainWindow::setRunProgress(int current, int total) {
    ensureRunControls();
    progressCurrent_ = current;
    progressTotal_ = total;
    if (total <= 0) {
        runProgress_->hide();
        runProgressText_->hide();
        return;
    }
    // The bar counts the passes that have ended; its text stands above it.
    runProgress_->setRange(0, total);
    runProgress_->setValue(std::clamp(current - 1, 0, total));
    QString text = current <= 0 ? QStringLiteral("Preparing") : QStringLiteral("Pass %1 of %2").arg(current).arg(total);
    // The estimate, once there is one, on a line of its own.
    if (current > 0 && timeLeft_) {
        const auto used =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - timeLeftSince_);
        const auto left = std::max(*timeLeft_ - used, std::chrono::milliseconds(0));
        text += QLatin1Char('\n') + QString::fromStdString(timeLeftText(left)) + QStringLiteral(" left");
    }
    runProgressText_->setText(text);
    runProgressText_->show();
    runProgress_->show();
}

void MainWindow::setReport(const std::string& path) {
    report_ = path;
    if (path.empty()) {
        if (reportBar_) reportBar_->hide();
        statusInfo_->setGeometry(0, kWindowHeight - kStatusHeight, kWindowWidth, kStatusHeight);
        return;
    }
    ensureReportBar();
    const QString full = QString::fromStdString(path);
    reportLink_->setToolTip(full);
    reportLink_->setText(reportLink_->fontMetrics().elidedText(QStringLiteral("Report: ") + full, Qt::ElideMiddle,
                                                               reportLink_->width()));
    reportBar_->show();
    statusInfo_->setGeometry(0, kWindowHeight - kStatusHeight, reportBar_->x(), kStatusHeight);
}

void MainWindow::setTimeLeft(std::optional<std::chrono::milliseconds> left) {
    timeLeft_ = left;
    timeLeftSince_ = std::chrono::steady_clock::now();
    if (!countdown_) {
        countdown_ = new QTimer(this);
        countdown_->setInterval(1000);
        connect(countdown_, &QTimer::timeout, this, [this] {
            if (progressTotal_ > 0) setRunProgress(progressCurrent_, progressTotal_);
        });
    }
    if (left)
        countdown_->start();
    else
        countdown_->stop();
    if (progressTotal_ > 0) setRunProgress(progressCurrent_, progressTotal_);
}

void MainWindow::setRunActive(bool active) {
    ensureRunControls();
    stopButton_->setVisible(active);
    // A finished run is in the history by now.
    if (!active && historyPage_ && historyPage_->isVisible()) historyPage_->reload();
}

// ---- window ------------------------------------------------------------------------------

void MainWindow::centreOnScreen() {
    QScreen* s = screen();
    if (!s) return;
    const QRect area = s->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void MainWindow::paintEvent(QPaintEvent*) {
    if (!backgroundLoaded_) {
        backgroundLoaded_ = true;
        background_ = pictures_.image("background.jpg");
    }
    QPainter p(this);
    if (!background_.isNull()) {
        p.drawImage(rect(), background_);
    } else {
        // Plain background: the same colours without the picture.
        p.fillRect(rect(), style::kBackground);
        p.fillRect(QRect(0, 0, width(), kHeaderHeight), QColor(0x0b, 0x0f, 0x15));
        p.fillRect(QRect(0, kHeaderHeight - 2, width(), 2), style::kAccent);
        p.fillRect(QRect(0, height() - kStatusHeight, width(), kStatusHeight), QColor(0x08, 0x0b, 0x10));
        p.setFont(style::font(17, true));
        p.setPen(style::kAccent);
        QRect used;
        p.drawText(QRect(kMargin + 4, 0, 400, kHeaderHeight - 2), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("VANTOR"), &used);
        p.setFont(style::font(11));
        p.setPen(style::kMuted);
        p.drawText(QRect(used.right() + 12, 2, 400, kHeaderHeight - 2), Qt::AlignVCenter | Qt::AlignLeft,
                   QString::fromUtf8(kAppTitle));
    }
    p.setPen(style::kPanelBorder);
    p.drawRect(rect().adjusted(0, 0, -1, -1));

    if (!firstPaintDone_) {
        // The pages are built once the window is on the screen.
        firstPaintDone_ = true;
        if (buildPagesAfterFirstPaint) QTimer::singleShot(0, this, [this] { buildAllPages(); });
        if (afterFirstPaint) afterFirstPaint();
    }
}

void MainWindow::Image4MouseDown(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // The window manager moves the window as if its caption were dragged;
    // without one the window follows the mouse itself.
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    Image4MouseDown(event);
    event->accept();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) move(event->globalPosition().toPoint() - dragOffset_);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
}

void MainWindow::showEvent(QShowEvent* event) {
    ensureAboutPictures();
    QWidget::showEvent(event);
    if (event->spontaneous()) return;  // restored from the task bar
    closeAllowed_ = false;             // a shown window's close runs the close query again
    // windowShown runs after the window has appeared, so a donation window opens above it.
    QTimer::singleShot(0, this, [this] { windowShown(); });
}

void MainWindow::windowShown() {
    if (!controller_) return;
    bool donate = false;
    handle([&] { donate = controller_->windowShown(); });
    if (donate) {
        if (showDonationWindow) {
            showDonationWindow();
        } else {
            DonationForm form([this] { handle([this] { controller_->donationClosed(); }); }, this);
            form.exec();
        }
    }
    if (afterShown) afterShown();
}

void MainWindow::closeButtonClicked() {
    auto terminate = [this] {
        if (controller_) handle([this] { controller_->closeButtonClicked(); });
        closeAllowed_ = true;  // this path never runs the close query
        if (onTerminate)
            onTerminate();
        else
            QCoreApplication::exit(0);
    };
    if (!controller_) return terminate();
    if (closeQueryRunning_) return;
    // During a run the program asks first; a Yes closes once the run has ended.
    closeQueryRunning_ = true;
    bool going = false;
    handle([&] { going = controller_->closeRequested(terminate); });
    if (!going) closeQueryRunning_ = false;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closeAllowed_ || !controller_) {
        event->accept();
        return;
    }
    event->ignore();
    if (closeQueryRunning_) return;
    closeQueryRunning_ = true;
    auto allow = [this] {
        closeQueryRunning_ = false;
        closeAllowed_ = true;
        QTimer::singleShot(0, this, [this] { close(); });
    };
    auto query = [this, allow] {
        try {
            controller_->closeBySystem(allow);
        } catch (const std::exception& e) {
            // The query always allows the close.
            controller_->context().dialogs.error(e.what());
            allow();
        }
    };
    bool going = false;
    handle([&] { going = controller_->closeRequested(query); });
    if (!going) closeQueryRunning_ = false;
}

}  // namespace vantor
