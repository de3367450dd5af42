#include "gui/MainWindow.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>

#include "gui/WindowParts.h"

#include "app/MainController.h"
#include "app/OptionHandlers.h"
#include "gui/DonationForm.h"
#include "gui/JpegImageQt.h"
#include "gui/StyleQt.h"

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
namespace {

const char* const kAboutText =
    "Vantor measures how fast Half-Life 2 runs on this computer: it plays a recorded demo once for "
    "every resolution you tick and writes an HTML report of the frame rates. Choose the options in "
    "the Benchmark menu, then press Run.\n\n"
    "Vantor is free software by Quorvane. Copyright \u00a9 Quorvane.";

// A play triangle for the run button.
QIcon playIcon() {
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x14, 0x18, 0x1f));
    QPainterPath path;
    path.moveTo(5, 3);
    path.lineTo(17, 10);
    path.lineTo(5, 17);
    path.closeSubpath();
    p.drawPath(path);
    return QIcon(pm);
}

}  // namespace

// ---- title bar, side menu and About view ---------------------------------------------

void MainWindow::ensureAboutPictures() {
    if (aboutPicturesShown_) return;
    aboutPicturesShown_ = true;
    image1_->setImage(pictures_.image("logo.jpg"), QStringLiteral("VANTOR"), style::font(34, true), false);
    image3_->setImage(pictures_.image("banner_large.jpg"), QString::fromUtf8(kSponsorFallback), style::font(10, true),
                      true);
    hl2logo_->setImage(pictures_.image("hl2logo.jpg"), QStringLiteral("HL2"), style::font(14, true), false);
}

void MainWindow::buildTitleArea() {
    // The program's name is part of the background picture; paintEvent writes it
    // on the plain background.
    speedButton1_ = new style::TitleButton(QStringLiteral("Close"), true, this);
    speedButton1_->setObjectName(QStringLiteral("SpeedButton1"));
    speedButton1_->setToolTip(QStringLiteral("Close"));
    speedButton1_->setGeometry(kWindowWidth - 12 - 34, 14, 34, 30);
    connect(speedButton1_, &QToolButton::clicked, this, [this] { closeButtonClicked(); });

    speedButton2_ = new style::TitleButton(QStringLiteral("Minimise"), false, this);
    speedButton2_->setObjectName(QStringLiteral("SpeedButton2"));
    speedButton2_->setToolTip(QStringLiteral("Minimise"));
    speedButton2_->setGeometry(kWindowWidth - 12 - 34 - 4 - 34, 14, 34, 30);
    connect(speedButton2_, &QToolButton::clicked, this, [this] { showMinimized(); });

    const QRect badge(kWindowWidth - 12 - 2 * 34 - 4 - 16 - 96, 10, 96, 38);
    verselabel_ = new QLabel(this);
    verselabel_->setObjectName(QStringLiteral("verselabel"));
    verselabel_->setGeometry(badge);
    verselabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    verselabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    verselabel_->setFont(style::font(13));
    style::setTextColour(verselabel_, style::kMuted);

    hl2logo_ = new style::Picture(QSize(96, 38), this);
    hl2logo_->setObjectName(QStringLiteral("hl2logo"));
    hl2logo_->move(badge.topLeft());
    hl2logo_->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void MainWindow::buildSideMenu() {
    auto* column = new QWidget(this);
    column->setGeometry(kMenuArea);
    auto* columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    columnLayout->setSpacing(10);

    groupBar_ = new style::Card;
    groupBar_->setObjectName(QStringLiteral("GroupBar1"));
    auto* bar = new QVBoxLayout(groupBar_);
    bar->setContentsMargins(1, 6, 1, 6);
    bar->setSpacing(0);

    auto addGroup = [&](int index, const char* caption, const char* name) {
        auto* header = new style::GroupHeaderButton(QString::fromUtf8(caption));
        header->setObjectName(QString::fromUtf8(name));
        connect(header, &QToolButton::clicked, this,
                [this, index] { openGroup(groupBodies_[static_cast<std::size_t>(index)]->isHidden() ? index : -1); });
        bar->addWidget(header);
        // The items are made when the group first opens (both start closed).
        auto* body = new QWidget;
        auto* bodyLayout = new QVBoxLayout(body);
        bodyLayout->setContentsMargins(0, 2, 0, 6);
        bodyLayout->setSpacing(0);
        body->hide();
        bar->addWidget(body);
        groupHeaders_[static_cast<std::size_t>(index)] = header;
        groupBodies_[static_cast<std::size_t>(index)] = body;
    };
    addGroup(0, "Benchmark", "Group1");
    addGroup(1, "Help", "Group3");
    bar->addStretch(1);
    columnLayout->addWidget(groupBar_, 1);

    benchButton_ = new style::FilledButton(QStringLiteral("Run"), style::kAccent, QColor(0x14, 0x18, 0x1f));
    benchButton_->setObjectName(QStringLiteral("BenchButton"));
    benchButton_->setToolTip(QStringLiteral("Run benchmark"));
    benchButton_->setFont(style::font(13));
    benchButton_->setIcon(playIcon());
    benchButton_->setIconSize(QSize(20, 20));
    benchButton_->setMinimumHeight(52);
    connect(benchButton_, &QPushButton::clicked, this, [this] {
        if (controller_) handle([this] { controller_->runButtonClicked(); });
    });
    columnLayout->addWidget(benchButton_);
    menuColumn_ = columnLayout;
}

void MainWindow::ensureMenuItems(int group) {
    if (group < 0 || group > 1 || menuItemsBuilt_[static_cast<std::size_t>(group)]) return;
    menuItemsBuilt_[static_cast<std::size_t>(group)] = true;
    struct Item {
        const char* caption;
        const char* name;
        int page;  // -1: help, -2: About, -3: History
    };
    static const Item group1[] = {
        {"Path && information", "Group1Items0", 0}, {"Resolution && detail", "Group1Items1", 1},
        {"Filters && demos", "Group1Items2", 2},    {"Miscellaneous", "Group1Items3", 3},
        {"Passes && results", "Group1Items4", 7},   {"History", "Group1Items5", -3}};
    static const Item group3[] = {{"Benchmark help", "Group3Items0", -1},
                                  {"Debug program", "Group3Items1", 5},
                                  {"Our Sponsor", "Group3Items2", 4},
                                  {"Donate", "Group3Items3", 6},
                                  {"About...", "Group3Items4", -2}};
    auto* bodyLayout = static_cast<QVBoxLayout*>(groupBodies_[static_cast<std::size_t>(group)]->layout());
    for (const Item& item : group == 0 ? std::span<const Item>(group1) : std::span<const Item>(group3)) {
        auto* button = new style::MenuItemButton(QString::fromUtf8(item.caption));
        button->setObjectName(QString::fromUtf8(item.name));
        button->setFocusPolicy(Qt::TabFocus);
        button->setCheckable(item.page != -1);
        bodyLayout->addWidget(button);
        const int page = item.page;
        if (page >= 0) pageItems_[page] = button;
        if (page == -2) aboutItem_ = button;
        if (page == -3) historyItem_ = button;
        connect(button, &QPushButton::clicked, this, [this, page] {
            if (!controller_) return;
            auto& options = controller_->options();
            if (page >= 0)
                handle([&] { options.showPage(page); });
            else if (page == -1)
                handle([&] { options.openHelp(); });
            else if (page == -3)
                handle([&] { showHistory(); });
            else
                handle([&] { options.showAbout(); });
            // A click toggles the item; the view shown decides which one is marked.
            markMenu();
        });
    }
    markMenu();
}

// The Stop button and the pass bar, below the run button; made when first needed.
void MainWindow::ensureRunControls() {
    if (stopButton_) return;
    stopButton_ = new style::FilledButton(QStringLiteral("Stop"), QColor(0xa8, 0x34, 0x2a), Qt::white);
    stopButton_->setObjectName(QStringLiteral("StopButton"));
    stopButton_->setFont(style::font(10, true));
    stopButton_->setMinimumHeight(36);
    stopButton_->setToolTip(
        QStringLiteral("Stops the benchmark: your game configuration is put back and no report is written."));
    stopButton_->hide();
    connect(stopButton_, &QPushButton::clicked, this, [this] {
        if (controller_) handle([this] { controller_->stopRun(); });
    });
    menuColumn_->addWidget(stopButton_);

    runProgressText_ = textLabel(QString(), "caption");
    runProgressText_->setObjectName(QStringLiteral("RunProgressText"));
    runProgressText_->setAlignment(Qt::AlignHCenter);
    runProgressText_->hide();
    menuColumn_->addWidget(runProgressText_);

    runProgress_ = new QProgressBar;
    runProgress_->setObjectName(QStringLiteral("RunProgress"));
    runProgress_->setTextVisible(false);
    // The empty part shows too, so the bar is there from the first pass on.
    runProgress_->setFixedHeight(12);
    runProgress_->setStyleSheet(
        QStringLiteral("QProgressBar { background: %1; border: 1px solid %2; border-radius: 3px; }"
                       "QProgressBar::chunk { background: %3; border-radius: 2px; }")
            .arg(style::kPanel.name(), style::kPanelBorder.name(), style::kAccent.name()));
    runProgress_->hide();
    menuColumn_->addWidget(runProgress_);
}

void MainWindow::ensureReportBar() {
    if (reportBar_) return;
    constexpr int kBarWidth = 560;
    reportBar_ = new QWidget(this);
    reportBar_->setObjectName(QStringLiteral("ReportBar"));
    reportBar_->setGeometry(kWindowWidth - kBarWidth, kWindowHeight - kStatusHeight, kBarWidth, kStatusHeight);
    auto* row = new QHBoxLayout(reportBar_);
    row->setContentsMargins(0, 4, 10, 4);
    row->setSpacing(8);
    reportLink_ = linkLabel(QString(), "ReportLink", 9);
    reportLink_->setFixedWidth(kBarWidth - 2 * 104 - 26);
    onClick(reportLink_, [this] {
        if (controller_) handle([this] { controller_->options().openReport(report_); });
    });
    // The whole path can be copied from the link's menu.
    reportLink_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copyPath = new QAction(QStringLiteral("Copy path"), reportLink_);
    copyPath->setObjectName(QStringLiteral("CopyReportPath"));
    connect(copyPath, &QAction::triggered, this,
            [this] { QGuiApplication::clipboard()->setText(QString::fromStdString(report_)); });
    reportLink_->addAction(copyPath);
    row->addWidget(reportLink_);
    auto addButton = [&](const char* caption, const char* name, void (OptionHandlers::*open)(const std::string&)) {
        auto* button = new QPushButton(QString::fromUtf8(caption));
        button->setObjectName(QString::fromUtf8(name));
        button->setFixedWidth(96);
        connect(button, &QPushButton::clicked, this, [this, open] {
            if (controller_) handle([this, open] { (controller_->options().*open)(report_); });
        });
        row->addWidget(button);
    };
    addButton("Open report", "OpenReport", &OptionHandlers::openReport);
    addButton("Open folder", "OpenReportFolder", &OptionHandlers::openReportFolder);
}

void MainWindow::buildAboutView() {
    aboutView_ = new QWidget(this);
    aboutView_->setObjectName(QStringLiteral("AboutView"));
    aboutView_->setGeometry(kContentArea);
    auto* layout = new QVBoxLayout(aboutView_);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(12);

    image1_ = new style::Picture(QSize(600, 150));
    image1_->setObjectName(QStringLiteral("Image1"));
    layout->addWidget(image1_, 0, Qt::AlignHCenter);

    auto* text = card();
    auto* textLayout = new QVBoxLayout(text);
    textLayout->setContentsMargins(16, 12, 16, 12);
    textLayout->addWidget(textBlock(QString::fromUtf8(kAboutText), "AboutMemo"));
    layout->addWidget(text);
    layout->addStretch(1);
    image3_ = static_cast<style::Picture*>(banner("Image3", nullptr, kLargeBanner));
    layout->addWidget(image3_, 0, Qt::AlignHCenter);
}

// A sponsor banner: opens the sponsor's address. Without pictureFile the
// picture is set later (the About view's, once the window shows).
QWidget* MainWindow::banner(const char* name, const char* pictureFile, QSize size) {
    auto* picture = new style::Picture(size);
    picture->setObjectName(QString::fromUtf8(name));
    picture->setCursor(Qt::PointingHandCursor);
    picture->setToolTip(QString::fromUtf8(kSponsorAddress));
    if (pictureFile)
        picture->setImage(pictures_.image(pictureFile), QString::fromUtf8(kSponsorFallback), style::font(10, true),
                          true);
    onClick(picture, [this] {
        if (controller_) handle([this] { controller_->options().openSponsor(); });
    });
    return picture;
}

// ---- menu ---------------------------------------------------------------------------------

void MainWindow::openGroup(int group) {
    ensureMenuItems(group);
    for (int i = 0; i < 2; ++i) {
        const bool open = i == group;
        groupBodies_[static_cast<std::size_t>(i)]->setVisible(open);
        groupHeaders_[static_cast<std::size_t>(i)]->setChecked(open);
    }
}

}  // namespace vantor
