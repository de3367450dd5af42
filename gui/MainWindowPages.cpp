#include "gui/MainWindow.h"

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

}  // namespace

// ---- pages ------------------------------------------------------------------------------

void MainWindow::ensurePage(int index) {
    if (index < 0 || index >= kPageCount || built_[static_cast<std::size_t>(index)]) return;
    built_[static_cast<std::size_t>(index)] = true;
    static const char* const headings[kPageCount] = {"Path & information", "Resolution & detail", "Filters & demos",
                                                     "Miscellaneous",      "Our Sponsor",         "Debug program",
                                                     "Donate us",          "Passes & results"};
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
        case 7: buildPassesPage(body); break;
    }
}

void MainWindow::buildAllPages() {
    ensureMenuItems(0);
    ensureMenuItems(1);
    ensureRunControls();
    for (int i = 0; i < kPageCount; ++i) ensurePage(i);
}

bool MainWindow::allPagesBuilt() const {
    return stopButton_ && std::all_of(built_.begin(), built_.end(), [](bool b) { return b; }) &&
           std::all_of(menuItemsBuilt_.begin(), menuItemsBuilt_.end(), [](bool b) { return b; });
}

void MainWindow::buildPathPage(QVBoxLayout* body) {
    auto* pathGroup = new QGroupBox(QStringLiteral(" Half-Life 2 path "));
    auto* pathLayout = new QHBoxLayout(pathGroup);
    hl2PathEdit_ = new QLineEdit;
    hl2PathEdit_->setTextMargins(4, 0, 4, 0);
    hl2PathEdit_->setObjectName(QStringLiteral("HL2PathEdit"));
    hl2PathEdit_->setReadOnly(true);
    pathLayout->addWidget(hl2PathEdit_, 1);
    auto* hl2PathButton = new QToolButton;
    hl2PathButton->setObjectName(QStringLiteral("HL2PathButton"));
    hl2PathButton->setText(QStringLiteral("Browse\u2026"));
    hl2PathButton->setToolTip(QStringLiteral("Choose the game's program"));
    connect(hl2PathButton, &QToolButton::clicked, this, [this] {
        if (controller_) handle([this] { controller_->chooseGame(); });
    });
    pathLayout->addWidget(hl2PathButton);
    body->addWidget(pathGroup);

    auto* steamGroup = new QGroupBox(QStringLiteral(" Steam folder "));
    auto* steamLayout = new QHBoxLayout(steamGroup);
    steamPathEdit_ = new QLineEdit;
    steamPathEdit_->setTextMargins(4, 0, 4, 0);
    steamPathEdit_->setObjectName(QStringLiteral("SteamPathEdit"));
    steamPathEdit_->setReadOnly(true);
    steamPathEdit_->setPlaceholderText(QStringLiteral("not found"));
    steamLayout->addWidget(steamPathEdit_, 1);
    auto* steamPathButton = new QToolButton;
    steamPathButton->setObjectName(QStringLiteral("SteamPathButton"));
    steamPathButton->setText(QStringLiteral("Browse\u2026"));
    steamPathButton->setToolTip(QStringLiteral("Choose the folder Steam is installed in"));
    connect(steamPathButton, &QToolButton::clicked, this, [this] {
        if (controller_) handle([this] { controller_->chooseSteamFolder(); });
    });
    steamLayout->addWidget(steamPathButton);
    body->addWidget(steamGroup);

    auto* info = new QGroupBox(QStringLiteral(" Information "));
    auto* grid = new QGridLayout(info);
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(10);
    grid->addWidget(textLabel(QStringLiteral("Benchmark version:"), "caption"), 0, 0);
    label17_ = textLabel(QString(), "value");
    label17_->setObjectName(QStringLiteral("ProgramVersion"));
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
    setText(Field::SteamPath, model_.fields[Field::SteamPath]);
    setLabel(Label::ProgramVersion, model_.labels[Label::ProgramVersion]);
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
        if (on && controller_) handle([this] { controller_->options().detailChanged(); });
    });
    connect(detailButton_, &QToolButton::clicked, this, [this] {
        if (controller_) handle([this] { controller_->options().chooseCustomConfig(); });
    });
    onMouseLeave(res_, [this] { controller_->options().storeResolutions(); });
    onMouseLeave(detailBox_, [this] { controller_->options().storeDetail(); });
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
    onActivated(afBox_, &OptionHandlers::filteringChanged);
    onActivated(aaBox_, &OptionHandlers::antialiasingChanged);
    connect(demoGroup_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on && controller_) handle([this] { controller_->options().demoChanged(); });
    });
    connect(demoEditButton_, &QToolButton::clicked, this, [this] {
        if (controller_) handle([this] { controller_->options().chooseUserDemo(); });
    });
    onMouseLeave(demoBox_, [this] { controller_->options().storeDemo(); });
    onMouseLeave(afBox_, [this] { controller_->options().storeFiltering(); });
    onMouseLeave(aaBox_, [this] { controller_->options().storeAntialiasing(); });
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
    toolButton7_->setObjectName(QStringLiteral("ViewAdditionalInfo"));
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
    onActivated(heapsizeBox_, &OptionHandlers::heapSizeChanged);
    onActivated(refreshBox_, &OptionHandlers::refreshChanged);
    onActivated(directXBox_, &OptionHandlers::directXChanged);
    connect(toolButton5_, &QToolButton::clicked, this, [this] {
        if (controller_) handle([this] { controller_->options().chooseResultsFolder(); });
    });
    connect(addInfoBox_, &QCheckBox::clicked, this, [this] {
        if (controller_) handle([this] { controller_->additionalInfoClicked(); });
    });
    connect(toolButton7_, &QPushButton::clicked, this, [this] {
        if (hardwareAction_) handle(hardwareAction_);
    });
    onMouseLeave(heapsizeBox_, [this] { controller_->options().storeHeapSize(); });
    onMouseLeave(refreshBox_, [this] { controller_->options().storeRefresh(); });
    onMouseLeave(directXBox_, [this] { controller_->options().storeDirectX(); });
    onMouseLeave(fastZBox_, [this] { controller_->options().storeFastZ(); });
    onMouseLeave(hddUseBox_, [this] { controller_->options().storeHddUse(); });
    onMouseLeave(resEdit_, [this] { controller_->options().storeResultsFolder(); });
    onMouseLeave(noteEdit_, [this] { controller_->options().storeNote(); });
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

}  // namespace vantor
