#include "gui/MainWindow.h"

#include "gui/DonationForm.h"
#include "gui/JpegImageQt.h"
#include "app/MainController.h"
#include "app/OptionHandlers.h"
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
#include <vector>
#include <string_view>

namespace vantor {
namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Geometry of the fixed window.
constexpr int kMargin = 16;
constexpr int kHeaderHeight = 60;
constexpr int kStatusHeight = 34;
constexpr int kMenuWidth = 216;
constexpr QRect kMenuArea{kMargin, kHeaderHeight + 10, kMenuWidth, kWindowHeight - kHeaderHeight - kStatusHeight - 24};
constexpr QRect kContentArea{kMargin * 2 + kMenuWidth, kHeaderHeight + 10,
                             kWindowWidth - kMargin * 3 - kMenuWidth,
                             kWindowHeight - kHeaderHeight - kStatusHeight - 24};

constexpr QSize kLargeBanner{600, 100};
constexpr QSize kSmallBanner{468, 60};

const char* const kAboutText =
    "Vantor measures how fast Half-Life 2 runs on this computer: it plays a recorded demo once for "
    "every resolution you tick and writes an HTML report of the frame rates. Choose the options in "
    "the Benchmark menu, then press Run.\n\n"
    "Vantor is free software by Quorvane. Copyright \u00a9 Quorvane.";

const char* const kSponsorText =
    "Aldermere Components supports the development of this free benchmark.\n\n"
    "Aldermere builds quiet and fast gaming computers and tests every system with real games "
    "before it leaves the workshop. Click the banner to visit their web site.";

const char* const kDebugText =
    "When problems occur, close all other applications, restart this program, choose "
    "\u201cDebug program\u201d and then \u201cStart debug mode\u201d.\n\n"
    "The program then runs a test in 800\u00d7600 that starts and finishes more slowly than a "
    "normal run.\n\n"
    "After the error has happened again, close the program and send the file "
    "\u201cdebuginfo.txt\u201d from the program's folder to the author.";

const char* const kDonateText =
    "Quorvane publishes free benchmark programs for Half-Life 2, Counter-Strike: Source and "
    "Day of Defeat: Source. We write and test them in our free time, while the test hardware and "
    "the web server cost money. If our benchmarks are useful to you, please support the work with "
    "a donation of any size.\n\n"
    "Bank transfers between EU countries cost no more than national ones. Write to us and the "
    "author sends you the bank details by e-mail.";

const char* const kHddHint =
    "Writes fewer lines to the debug log during a run and never saves the log file at the run's save points.";
const char* const kFastZHint =
    "Enables or disables a depth fill pass that may improve performance in graphics-bound situations.";

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

// Paragraphs of read-only text.
QWidget* textBlock(const QString& text, const char* name = nullptr) {
    auto* block = new style::TextBlock(text);
    if (name) block->setObjectName(QString::fromUtf8(name));
    style::setTextColour(block, style::kSoftText);
    return block;
}

// A one-line label: "heading", "caption" or "value".
QLabel* textLabel(const QString& text, const char* role) {
    auto* l = new QLabel(text);
    const std::string_view r(role);
    l->setTextInteractionFlags(Qt::NoTextInteraction);
    if (r == "heading") {
        l->setFont(style::font(15, true));
        style::setTextColour(l, Qt::white);
    } else if (r == "caption") {
        style::setTextColour(l, style::kMuted);
    } else {
        l->setFont(style::font(10, true));
        style::setTextColour(l, style::kValue);
    }
    return l;
}

QLabel* linkLabel(const QString& text, const char* name, qreal pointSize = 10, bool bold = false) {
    auto* l = new QLabel(text);
    l->setObjectName(name);
    l->setCursor(Qt::PointingHandCursor);
    l->setFont(style::font(pointSize, bold, true));
    style::setTextColour(l, style::kLink);
    return l;
}

QFrame* card() { return new style::Card; }

}  // namespace

// ---- construction ---------------------------------------------------------------------

MainWindow::MainWindow(const std::string& picturesFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), pictures_(picturesFolder) {
    setObjectName(QStringLiteral("Form1"));
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
    for (int i = 0; i < 7; ++i) {
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

namespace {
const char* const kSponsorFallback = "Our sponsor: Aldermere Components";
}  // namespace

void MainWindow::ensureAboutPictures() {
    if (aboutPicturesShown_) return;
    aboutPicturesShown_ = true;
    image1_->setImage(pictures_.image("logo.jpg"), QStringLiteral("VANTOR"), style::font(34, true), false);
    image3_->setImage(pictures_.image("banner_large.jpg"), QString::fromUtf8(kSponsorFallback),
                      style::font(10, true), true);
    hl2logo_->setImage(pictures_.image("hl2logo.jpg"), QStringLiteral("HL2"), style::font(14, true), false);
}

void MainWindow::buildTitleArea() {
    // The program's name is part of the background picture; paintEvent writes it
    // on the plain background.
    speedButton1_ = new style::TitleButton(QStringLiteral("Close"), true, this);
    speedButton1_->setObjectName(QStringLiteral("SpeedButton1"));
    speedButton1_->setToolTip(QStringLiteral("Close"));
    speedButton1_->setGeometry(kWindowWidth - 12 - 34, 14, 34, 30);
    connect(speedButton1_, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });

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
        connect(header, &QToolButton::clicked, this, [this, index] {
            openGroup(groupBodies_[static_cast<std::size_t>(index)]->isHidden() ? index : -1);
        });
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
        if (controller_) handle([this] { controller_->BenchButtonClick(); });
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
        int page;  // -1: help, -2: About
    };
    static const Item group1[] = {{"Path && information", "Group1Items0", 0},
                                  {"Resolution && detail", "Group1Items1", 1},
                                  {"Filters && demos", "Group1Items2", 2},
                                  {"Miscellaneous", "Group1Items3", 3}};
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
        connect(button, &QPushButton::clicked, this, [this, page] {
            if (!controller_) return;
            auto& options = controller_->options();
            if (page >= 0)
                handle([&] { options.showPage(page); });
            else if (page == -1)
                handle([&] { options.openHelp(); });
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
        if (controller_) handle([this] { controller_->StopRun(); });
    });
    menuColumn_->addWidget(stopButton_);

    runProgress_ = new QProgressBar;
    runProgress_->setObjectName(QStringLiteral("RunProgress"));
    runProgress_->hide();
    menuColumn_->addWidget(runProgress_);
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

// ---- pages ------------------------------------------------------------------------------

void MainWindow::ensurePage(int index) {
    if (index < 0 || index >= 7 || built_[static_cast<std::size_t>(index)]) return;
    built_[static_cast<std::size_t>(index)] = true;
    static const char* const headings[7] = {"Path & information", "Resolution & detail", "Filters & demos",
                                            "Miscellaneous", "Our Sponsor", "Debug program", "Donate us"};
    QWidget* page = pageControl_->widget(index);
    auto* body = new QVBoxLayout(page);
    body->setContentsMargins(4, 0, 4, 0);
    body->setSpacing(12);
    auto* title = textLabel(QString::fromUtf8(headings[index]), "heading");
    title->setTextFormat(Qt::PlainText);
    body->addWidget(title);
    auto* rule = new QFrame;
    rule->setObjectName(QStringLiteral("HeadingRule"));
    rule->setFixedSize(48, 3);
    rule->setAutoFillBackground(true);
    QPalette accent = rule->palette();
    accent.setColor(QPalette::Window, style::kAccent);
    rule->setPalette(accent);
    body->addWidget(rule);
    switch (index) {
        case 0: buildPathPage(body); break;
        case 1: buildResolutionPage(body); break;
        case 2: buildFiltersPage(body); break;
        case 3: buildMiscPage(body); break;
        case 4: buildSponsorPage(body); break;
        case 5: buildDebugPage(body); break;
        case 6: buildDonatePage(body); break;
    }
}

void MainWindow::buildAllPages() {
    ensureMenuItems(0);
    ensureMenuItems(1);
    ensureRunControls();
    for (int i = 0; i < 7; ++i) ensurePage(i);
}

bool MainWindow::allPagesBuilt() const {
    return stopButton_ && std::all_of(built_.begin(), built_.end(), [](bool b) { return b; }) &&
           std::all_of(menuItemsBuilt_.begin(), menuItemsBuilt_.end(), [](bool b) { return b; });
}

void MainWindow::buildPathPage(QVBoxLayout* body) {
    auto* pathGroup = new QGroupBox(QStringLiteral(" Half-Life 2 path "));
    auto* pathLayout = new QVBoxLayout(pathGroup);
    hl2PathEdit_ = new QLineEdit;
    hl2PathEdit_->setTextMargins(4, 0, 4, 0);
    hl2PathEdit_->setObjectName(QStringLiteral("HL2PathEdit"));
    hl2PathEdit_->setReadOnly(true);
    pathLayout->addWidget(hl2PathEdit_);
    body->addWidget(pathGroup);

    auto* info = new QGroupBox(QStringLiteral(" Information "));
    auto* grid = new QGridLayout(info);
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(10);
    grid->addWidget(textLabel(QStringLiteral("Benchmark version:"), "caption"), 0, 0);
    label17_ = textLabel(QString(), "value");
    label17_->setObjectName(QStringLiteral("Label17"));
    grid->addWidget(label17_, 0, 1);
    grid->addWidget(textLabel(QStringLiteral("Supported demo header version:"), "caption"), 1, 0, Qt::AlignTop);
    headerVersion_ = textLabel(QString(), "value");
    headerVersion_->setObjectName(QStringLiteral("HeaderVersion"));
    grid->addWidget(headerVersion_, 1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    toolButton3_ = new QPushButton(QStringLiteral("Update benchmark"));
    toolButton3_->setObjectName(QStringLiteral("ToolButton3"));
    connect(toolButton3_, &QPushButton::clicked, this, [this] {
        if (updateAction_) handle(updateAction_);
    });
    toolButton4_ = new QPushButton(QStringLiteral("Contact us (email)"));
    toolButton4_->setObjectName(QStringLiteral("ToolButton4"));
    connect(toolButton4_, &QPushButton::clicked, this, [this] {
        if (controller_) handle([this] { controller_->options().openMail(); });
    });
    buttons->addWidget(toolButton3_);
    buttons->addWidget(toolButton4_);
    buttons->addStretch(1);
    grid->addLayout(buttons, 2, 0, 1, 2);

    auto* support = new QHBoxLayout;
    support->setSpacing(0);
    support->addWidget(textLabel(QStringLiteral("HL2 support site: "), "caption"));
    auto* label8 = linkLabel(QString::fromUtf8(kSupportAddress), "Label8");
    onClick(label8, [this] {
        if (controller_) handle([this] { controller_->options().openSupport(); });
    });
    support->addWidget(label8);
    support->addStretch(1);
    grid->addLayout(support, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    body->addWidget(info);
    body->addStretch(1);

    // The states set before the page existed.
    setText(Field::HL2Path, model_.fields[Field::HL2Path]);
    setLabel(Label::Label17, model_.labels[Label::Label17]);
    setLabel(Label::HeaderVersion, model_.labels[Label::HeaderVersion]);
    applyEnabled(Control::UpdateButton);
}

void MainWindow::buildResolutionPage(QVBoxLayout* body) {
    res_ = new QGroupBox(QStringLiteral(" Resolution "));
    res_->setObjectName(QStringLiteral("res"));
    auto* grid = new QGridLayout(res_);
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(10);
    for (int i = 0; i < kResolutionCount; ++i) {
        auto* box = new QCheckBox(qs(kResolutionItems[static_cast<std::size_t>(i)]));
        box->setObjectName(QStringLiteral("res%1").arg(i));
        box->setChecked(model_.res[static_cast<std::size_t>(i)]);
        resBoxes_[static_cast<std::size_t>(i)] = box;
        grid->addWidget(box, i / 4, i % 4);
    }
    body->addWidget(res_);

    detailBox_ = new QGroupBox(QStringLiteral(" Detail level "));
    detailBox_->setObjectName(QStringLiteral("DetailBox"));
    detailGroup_ = new QButtonGroup(detailBox_);
    auto* detail = new QGridLayout(detailBox_);
    detail->setVerticalSpacing(8);
    for (int i = 0; i < static_cast<int>(kDetailItems.size()); ++i) {
        auto* radio = new QRadioButton(qs(kDetailItems[static_cast<std::size_t>(i)]));
        radio->setObjectName(QStringLiteral("DetailBox%1").arg(i));
        detailGroup_->addButton(radio, i);
        detail->addWidget(radio, i, 0);
    }
    detailEdit_ = new QLineEdit;
    detailEdit_->setTextMargins(4, 0, 4, 0);
    detailEdit_->setObjectName(QStringLiteral("DetailEdit"));
    detailEdit_->setReadOnly(true);
    detailButton_ = new QToolButton;
    detailButton_->setObjectName(QStringLiteral("DetailButton"));
    detailButton_->setText(QStringLiteral("Browse\u2026"));
    detail->addWidget(detailEdit_, 2, 1);
    detail->addWidget(detailButton_, 2, 2);
    detail->setColumnStretch(1, 1);
    body->addWidget(detailBox_);
    body->addStretch(1);
    body->addWidget(banner("Image8", "banner_small.jpg", kSmallBanner), 0, Qt::AlignHCenter);

    const auto chosen = model_.choices.find(Choice::Detail);
    setChoice(Choice::Detail, chosen == model_.choices.end() ? -1 : chosen->second);
    setText(Field::DetailEdit, model_.fields[Field::DetailEdit]);
    applyEnabled(Control::DetailEdit);
    applyEnabled(Control::DetailButton);

    connect(detailGroup_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on && controller_) handle([this] { controller_->options().DetailBoxChange(); });
    });
    connect(detailButton_, &QToolButton::clicked, this, [this] {
        if (controller_) handle([this] { controller_->gameConfig().DetailButtonClick(); });
    });
    onMouseLeave(res_, [this] { controller_->options().resMouseLeave(); });
    onMouseLeave(detailBox_, [this] { controller_->options().DetailBoxMouseLeave(); });
}

namespace {
QComboBox* makeList(const char* name, std::span<const std::string_view> items) {
    auto* box = new QComboBox;
    box->setObjectName(QString::fromUtf8(name));
    for (auto item : items) box->addItem(qs(item));
    box->setCurrentIndex(-1);  // no choice until start-up decodes one
    return box;
}
}  // namespace

void MainWindow::buildFiltersPage(QVBoxLayout* body) {
    auto* filters = new QGroupBox(QStringLiteral(" Filters "));
    auto* grid = new QGridLayout(filters);
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(6);
    afBox_ = makeList("AFBox", kAFItems);
    aaBox_ = makeList("AABox", kAAItems);
    grid->addWidget(textLabel(QStringLiteral("Filtering mode"), "caption"), 0, 0);
    grid->addWidget(textLabel(QStringLiteral("Antialiasing mode"), "caption"), 0, 1);
    grid->addWidget(afBox_, 1, 0);
    grid->addWidget(aaBox_, 1, 1);
    body->addWidget(filters);

    demoBox_ = new QGroupBox(QStringLiteral(" Choose a demo "));
    demoBox_->setObjectName(QStringLiteral("demo"));
    demoGroup_ = new QButtonGroup(demoBox_);
    auto* demo = new QGridLayout(demoBox_);
    demo->setHorizontalSpacing(18);
    demo->setVerticalSpacing(8);
    const int perColumn = (static_cast<int>(kDemoItems.size()) + 1) / 2;  // two columns, filled downwards
    for (int i = 0; i < static_cast<int>(kDemoItems.size()); ++i) {
        auto* radio = new QRadioButton(qs(kDemoItems[static_cast<std::size_t>(i)]));
        radio->setObjectName(QStringLiteral("demo%1").arg(i));
        demoGroup_->addButton(radio, i);
        demo->addWidget(radio, i % perColumn, i / perColumn);
    }
    auto* file = new QHBoxLayout;
    demoEdit_ = new QLineEdit;
    demoEdit_->setTextMargins(4, 0, 4, 0);
    demoEdit_->setObjectName(QStringLiteral("DemoEdit"));
    demoEdit_->setReadOnly(true);
    demoEditButton_ = new QToolButton;
    demoEditButton_->setObjectName(QStringLiteral("DemoEditButton"));
    demoEditButton_->setText(QStringLiteral("Browse\u2026"));
    file->addWidget(demoEdit_, 1);
    file->addWidget(demoEditButton_);
    demo->addLayout(file, perColumn, 0, 1, 2);
    body->addWidget(demoBox_);
    body->addStretch(1);
    body->addWidget(banner("Image7", "banner_small.jpg", kSmallBanner), 0, Qt::AlignHCenter);

    for (auto c : {Choice::AF, Choice::AA, Choice::Demo}) {
        const auto chosen = model_.choices.find(c);
        setChoice(c, chosen == model_.choices.end() ? -1 : chosen->second);
    }
    setText(Field::DemoEdit, model_.fields[Field::DemoEdit]);
    applyEnabled(Control::DemoEdit);
    applyEnabled(Control::DemoEditButton);

    auto onActivated = [this](QComboBox* box, void (OptionHandlers::*handler)()) {
        connect(box, &QComboBox::activated, this, [this, handler] {
            if (controller_) handle([this, handler] { (controller_->options().*handler)(); });
        });
    };
    onActivated(afBox_, &OptionHandlers::AFBoxChange);
    onActivated(aaBox_, &OptionHandlers::AABoxChange);
    connect(demoGroup_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on && controller_) handle([this] { controller_->options().demoChange(); });
    });
    connect(demoEditButton_, &QToolButton::clicked, this, [this] {
        if (controller_) handle([this] { controller_->demos().DemoEditButtonClick(); });
    });
    onMouseLeave(demoBox_, [this] { controller_->options().demoMouseLeave(); });
    onMouseLeave(afBox_, [this] { controller_->options().AFBoxMouseLeave(); });
    onMouseLeave(aaBox_, [this] { controller_->options().AABoxMouseLeave(); });
}

void MainWindow::buildMiscPage(QVBoxLayout* body) {
    body->setSpacing(10);
    auto* files = card();
    auto* fileGrid = new QGridLayout(files);
    fileGrid->setContentsMargins(12, 10, 12, 12);
    fileGrid->setVerticalSpacing(4);
    fileGrid->addWidget(textLabel(QStringLiteral("Results folder"), "caption"), 0, 0, 1, 2);
    resEdit_ = new QLineEdit;
    resEdit_->setTextMargins(4, 0, 4, 0);
    resEdit_->setObjectName(QStringLiteral("ResEdit"));
    resEdit_->setReadOnly(true);
    toolButton5_ = new QToolButton;
    toolButton5_->setObjectName(QStringLiteral("ToolButton5"));
    toolButton5_->setText(QStringLiteral("Browse\u2026"));
    fileGrid->addWidget(resEdit_, 1, 0);
    fileGrid->addWidget(toolButton5_, 1, 1);
    fileGrid->addItem(new QSpacerItem(0, 8), 2, 0);
    fileGrid->addWidget(textLabel(QStringLiteral("Benchmark notes (50 chars at most!)"), "caption"), 3, 0, 1, 2);
    noteEdit_ = new QLineEdit;
    noteEdit_->setTextMargins(4, 0, 4, 0);
    noteEdit_->setObjectName(QStringLiteral("NoteEdit"));
    noteEdit_->setMaxLength(50);
    fileGrid->addWidget(noteEdit_, 4, 0, 1, 2);
    body->addWidget(files);

    auto* engine = card();
    auto* lists = new QGridLayout(engine);
    lists->setContentsMargins(12, 10, 12, 12);
    lists->setHorizontalSpacing(14);
    lists->setVerticalSpacing(4);
    heapsizeBox_ = makeList("HeapsizeBox", kHeapsizeItems);
    refreshBox_ = makeList("RefreshBox", kRefreshItems);
    directXBox_ = makeList("DirectXBox", kDirectXItems);
    lists->addWidget(textLabel(QStringLiteral("Heapsize "), "caption"), 0, 0);
    lists->addWidget(textLabel(QStringLiteral("Refresh rate"), "caption"), 0, 1);
    lists->addWidget(textLabel(QStringLiteral("Hardware DirectX level"), "caption"), 0, 2);
    lists->addWidget(heapsizeBox_, 1, 0);
    lists->addWidget(refreshBox_, 1, 1);
    lists->addWidget(directXBox_, 1, 2);
    for (int c = 0; c < 3; ++c) lists->setColumnStretch(c, 1);
    body->addWidget(engine);

    auto* switches = card();
    auto* sw = new QGridLayout(switches);
    sw->setContentsMargins(12, 10, 12, 10);
    sw->setHorizontalSpacing(14);
    sw->setVerticalSpacing(8);
    fastZBox_ = new QCheckBox(QStringLiteral("Enable fast z-setting"));
    fastZBox_->setObjectName(QStringLiteral("FastZBox"));
    fastZBox_->setToolTip(QString::fromUtf8(kFastZHint));
    hddUseBox_ = new QCheckBox(QStringLiteral("Minimize HDD usage"));
    hddUseBox_->setObjectName(QStringLiteral("HDDUseBox"));
    hddUseBox_->setToolTip(QString::fromUtf8(kHddHint));
    addInfoBox_ = new QCheckBox(QStringLiteral("Add additional information"));
    addInfoBox_->setObjectName(QStringLiteral("AddInfoBox"));
    toolButton7_ = new QPushButton(QStringLiteral("View additional information"));
    toolButton7_->setObjectName(QStringLiteral("ToolButton7"));
    sw->addWidget(fastZBox_, 0, 0);
    sw->addWidget(hddUseBox_, 0, 1);
    sw->addWidget(addInfoBox_, 1, 0);
    sw->addWidget(toolButton7_, 1, 1, Qt::AlignLeft);
    sw->setColumnStretch(0, 1);
    sw->setColumnStretch(1, 1);
    body->addWidget(switches);
    body->addStretch(1);
    body->addWidget(banner("Image6", "banner_small.jpg", kSmallBanner), 0, Qt::AlignHCenter);

    for (auto c : {Choice::Heapsize, Choice::Refresh, Choice::DirectX}) {
        const auto chosen = model_.choices.find(c);
        setChoice(c, chosen == model_.choices.end() ? -1 : chosen->second);
    }
    for (auto c : {Check::FastZ, Check::HDDUse, Check::AddInfo}) setChecked(c, model_.checks[c]);
    setText(Field::ResEdit, model_.fields[Field::ResEdit]);
    setText(Field::NoteEdit, model_.fields[Field::NoteEdit]);
    setHardwareWindowAction(hardwareAction_);

    auto onActivated = [this](QComboBox* box, void (OptionHandlers::*handler)()) {
        connect(box, &QComboBox::activated, this, [this, handler] {
            if (controller_) handle([this, handler] { (controller_->options().*handler)(); });
        });
    };
    onActivated(heapsizeBox_, &OptionHandlers::HeapsizeBoxChange);
    onActivated(refreshBox_, &OptionHandlers::RefreshBoxChange);
    onActivated(directXBox_, &OptionHandlers::DirectXBoxChange);
    connect(toolButton5_, &QToolButton::clicked, this, [this] {
        if (controller_) handle([this] { controller_->options().ToolButton5Click(); });
    });
    connect(addInfoBox_, &QCheckBox::clicked, this, [this] {
        if (controller_) handle([this] { controller_->AddInfoBoxClick(); });
    });
    connect(toolButton7_, &QPushButton::clicked, this, [this] {
        if (hardwareAction_) handle(hardwareAction_);
    });
    onMouseLeave(heapsizeBox_, [this] { controller_->options().HeapsizeBoxMouseLeave(); });
    onMouseLeave(refreshBox_, [this] { controller_->options().RefreshBoxMouseLeave(); });
    onMouseLeave(directXBox_, [this] { controller_->options().DirectXBoxMouseLeave(); });
    onMouseLeave(fastZBox_, [this] { controller_->options().FastZBoxMouseLeave(); });
    onMouseLeave(hddUseBox_, [this] { controller_->options().HDDUseBoxMouseLeave(); });
    onMouseLeave(resEdit_, [this] { controller_->options().ResEditMouseLeave(); });
    onMouseLeave(noteEdit_, [this] { controller_->options().NoteEditMouseLeave(); });
}

void MainWindow::buildSponsorPage(QVBoxLayout* body) {
    auto* text = card();
    auto* layout = new QVBoxLayout(text);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->addWidget(textBlock(QString::fromUtf8(kSponsorText)));
    body->addWidget(text);
    body->addStretch(1);
    body->addWidget(banner("Image2", "banner_large.jpg", kLargeBanner), 0, Qt::AlignHCenter);
}

void MainWindow::buildDebugPage(QVBoxLayout* body) {
    auto* text = card();
    auto* layout = new QVBoxLayout(text);
    layout->setContentsMargins(16, 14, 16, 16);
    layout->setSpacing(14);
    layout->addWidget(textBlock(QString::fromUtf8(kDebugText), "Memo3"));
    debugBtn_ = new QPushButton(QStringLiteral("Start debug mode"));
    debugBtn_->setObjectName(QStringLiteral("DebugBtn"));
    connect(debugBtn_, &QPushButton::clicked, this, [this] {
        if (debugAction_) handle(debugAction_);
    });
    layout->addWidget(debugBtn_, 0, Qt::AlignLeft);
    body->addWidget(text);
    body->addStretch(1);
    applyEnabled(Control::DebugBtn);
}

void MainWindow::buildDonatePage(QVBoxLayout* body) {
    auto* text = card();
    auto* layout = new QVBoxLayout(text);
    layout->setContentsMargins(16, 14, 16, 16);
    layout->setSpacing(14);
    layout->addWidget(textBlock(QString::fromUtf8(kDonateText), "Memo4"));
    auto* label2 = linkLabel(QStringLiteral("Email!"), "Label2", 11, true);
    onClick(label2, [this] {
        if (controller_) handle([this] { controller_->options().openMail(); });
    });
    layout->addWidget(label2, 0, Qt::AlignLeft);
    body->addWidget(text);
    body->addStretch(1);
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
    }
    if (!box) return;
    const QSignalBlocker block(box);
    box->setCurrentIndex(index);
}

namespace {
QCheckBox* checkOf(Check c, QCheckBox* fastZ, QCheckBox* hddUse, QCheckBox* addInfo) {
    return c == Check::FastZ ? fastZ : c == Check::HDDUse ? hddUse : addInfo;
}
}  // namespace

bool MainWindow::checked(Check c) const {
    if (QCheckBox* box = checkOf(c, fastZBox_, hddUseBox_, addInfoBox_)) return box->isChecked();
    auto it = model_.checks.find(c);
    return it != model_.checks.end() && it->second;
}

void MainWindow::setChecked(Check c, bool on) {
    model_.checks[c] = on;
    if (QCheckBox* box = checkOf(c, fastZBox_, hddUseBox_, addInfoBox_)) {
        const QSignalBlocker block(box);
        box->setChecked(on);
    }
}

namespace {
QLineEdit* fieldOf(Field f, QLineEdit* hl2, QLineEdit* detail, QLineEdit* demo, QLineEdit* res, QLineEdit* note) {
    switch (f) {
        case Field::HL2Path: return hl2;
        case Field::DetailEdit: return detail;
        case Field::DemoEdit: return demo;
        case Field::ResEdit: return res;
        case Field::NoteEdit: return note;
    }
    return nullptr;
}
}  // namespace

std::string MainWindow::text(Field f) const {
    if (QLineEdit* edit = fieldOf(f, hl2PathEdit_, detailEdit_, demoEdit_, resEdit_, noteEdit_))
        return edit->text().toStdString();
    auto it = model_.fields.find(f);
    return it == model_.fields.end() ? std::string() : it->second;
}

void MainWindow::setText(Field f, const std::string& value) {
    model_.fields[f] = value;
    QLineEdit* edit = fieldOf(f, hl2PathEdit_, detailEdit_, demoEdit_, resEdit_, noteEdit_);
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
        case Label::Label17:
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

void MainWindow::setStatus(const std::string& value) { statusInfo_->setText(QString::fromStdString(value)); }

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
}

int MainWindow::currentPage() const { return pageControl_->isHidden() ? -1 : pageControl_->currentIndex(); }

void MainWindow::setRunProgress(int current, int total) {
    ensureRunControls();
    if (total <= 0) {
        runProgress_->hide();
        return;
    }
    runProgress_->setRange(0, total);
    runProgress_->setValue(std::clamp(current, 0, total));
    runProgress_->setFormat(current <= 0 ? QStringLiteral("Preparing")
                                         : QStringLiteral("Pass %1 of %2").arg(current).arg(total));
    runProgress_->show();
}

void MainWindow::setRunActive(bool active) {
    ensureRunControls();
    stopButton_->setVisible(active);
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
    // FormShow runs after the window has appeared, so a donation window opens above it.
    QTimer::singleShot(0, this, [this] { FormShow(); });
}

void MainWindow::FormShow() {
    if (!controller_) return;
    bool donate = false;
    handle([&] { donate = controller_->FormShow(); });
    if (donate) {
        if (showDonationWindow) {
            showDonationWindow();
        } else {
            DonationForm form([this] { handle([this] { controller_->DonationClosed(); }); }, this);
            form.exec();
        }
    }
    if (afterFormShow) afterFormShow();
}

void MainWindow::SpeedButton1Click() {
    if (controller_) handle([this] { controller_->SpeedButton1Click(); });
    closeAllowed_ = true;  // this path never runs the close query
    if (onTerminate)
        onTerminate();
    else
        QCoreApplication::exit(0);
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
    try {
        controller_->FormCloseQuery(allow);
    } catch (const std::exception& e) {
        // The query always allows the close.
        controller_->context().dialogs.error(e.what());
        allow();
    }
}

}  // namespace vantor
