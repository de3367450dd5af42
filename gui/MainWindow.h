#pragma once
// TForm1: the frameless main window with its side menu, option pages, About
// view, run button and status line. It shows the controls' state to the core
// (MainView) and hands every user action to the MainController.

#include "core/MainView.h"
#include "gui/JpegImageQt.h"
#include "gui/StyleQt.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTimer;
class QToolButton;
class QVBoxLayout;

namespace vantor {

class HistoryPage;
class MainController;

inline constexpr const char* kAppTitle = "Quorvane Half-Life 2 benchmark";
inline constexpr int kWindowWidth = 900;
inline constexpr int kWindowHeight = 600;
// The option pages: the seven classic ones, then "Passes & results".
inline constexpr int kPageCount = 8;

// The hint of a button whose action comes with a later version.
inline constexpr const char* kNotAvailableHint = "Not available in this version yet.";

class MainWindow : public QWidget, public MainView {
    Q_OBJECT
public:
    // picturesFolder holds the JPEG artwork (ends with a separator); a missing
    // picture leaves a plain background.
    explicit MainWindow(const std::string& picturesFolder, QWidget* parent = nullptr);
    ~MainWindow() override;

    using QWidget::isEnabled;
    using QWidget::repaint;
    using QWidget::setEnabled;

    // Connects every control to the controller. Call once, before startUp.
    void bind(MainController& controller);

    // Centres the window on its screen.
    void centreOnScreen();

    // What the window's own close button does after closeButtonClicked (the
    // default ends the application's loop at once).
    std::function<void()> onTerminate;
    // Runs after each windowShown check, when a donation window has been closed
    // again or was not needed.
    std::function<void()> afterShown;
    // Runs once, when the window has been painted for the first time.
    std::function<void()> afterFirstPaint;
    // Shows the donation window modally; replaceable for tests.
    std::function<void()> showDonationWindow;

    // The actions of buttons whose subsystems come later; until one is set the
    // button stays disabled with kNotAvailableHint.
    void setUpdateAction(std::function<void()> action);
    void setDebugAction(std::function<void()> action);
    void setHardwareWindowAction(std::function<void()> action);

    // MainView
    bool resolutionChecked(int index) const override;
    void setResolutionChecked(int index, bool checked) override;
    bool todayResolutionChecked(int index) const override;
    void setTodayResolutionChecked(int index, bool checked) override;
    int choice(Choice c) const override;
    void setChoice(Choice c, int index) override;
    bool checked(Check c) const override;
    void setChecked(Check c, bool on) override;
    std::string text(Field f) const override;
    void setText(Field f, const std::string& text) override;
    void setLabel(Label l, const std::string& text) override;
    void setEnabled(Control c, bool enabled) override;
    bool isEnabled(Control c) const override;
    std::string status() const override;
    void setStatus(const std::string& text) override;
    void repaint() override;
    void showPage(int index) override;
    void showAboutView() override;
    void setRunProgress(int current, int total) override;
    void setRunActive(bool active) override;
    void setTimeLeft(std::optional<std::chrono::milliseconds> left) override;
    void setReport(const std::string& path) override;
    void setDebugModeActive(bool active) override;
    bool debugModeActive() const { return debugModeActive_; }

    // The History page (made and read when first shown, read again each time).
    void showHistory();
    HistoryPage* historyPage() const { return historyPage_; }

    // The page shown, -1 for the About view.
    int currentPage() const;
    // Opens one group of the side menu (0 Benchmark, 1 Help) and closes the
    // other; -1 closes both.
    void openMenuGroup(int group) { openGroup(group); }

    // What is not visible at start (the option pages, the menu's items, the
    // Stop button and the pass bar) is built when first needed, at the latest
    // right after the window's first paint; until then the pages' control
    // states live in a plain model.
    void buildAllPages();
    bool allPagesBuilt() const;
    // Whether the first paint schedules the building of all pages (off: each
    // page is built when first shown).
    bool buildPagesAfterFirstPaint = true;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs a handler of the core; an error it raises goes to the error box.
    void handle(const std::function<void()>& handler);
    void onMouseLeave(QWidget* control, std::function<void()> handler);
    void onClick(QWidget* label, std::function<void()> handler);

    void buildTitleArea();
    void buildSideMenu();
    void buildAboutView();
    void ensurePage(int index);
    void buildPathPage(QVBoxLayout* body);
    void buildResolutionPage(QVBoxLayout* body);
    void buildFiltersPage(QVBoxLayout* body);
    void buildMiscPage(QVBoxLayout* body);
    void buildSponsorPage(QVBoxLayout* body);
    void buildDebugPage(QVBoxLayout* body);
    void buildDonatePage(QVBoxLayout* body);
    void buildPassesPage(QVBoxLayout* body);  // today's resolutions, passes, report extras
    QCheckBox* checkBoxOf(Check c) const;
    // The spread threshold and the cap are usable only with adaptive passes.
    void syncAdaptiveLists();
    QWidget* banner(const char* name, const char* picture, QSize size);
    void ensureAboutPictures();
    void applyEnabled(Control c);
    // The line edit of a field; nullptr while its page is not built.
    QLineEdit* editOf(Field f) const;

    void ensureMenuItems(int group);
    void ensureRunControls();
    void ensureReportBar();
    void openGroup(int group);  // 0 Benchmark, 1 Help, -1 none
    void markMenu();            // marks the menu item of the view shown
    void windowShown();
    void closeButtonClicked();
    void Image4MouseDown(QMouseEvent* event);
    void updateDeferredButton(QAbstractButton* button, Control c);

    MainController* controller_ = nullptr;
    PictureCache pictures_;
    QImage background_;
    bool backgroundLoaded_ = false;
    bool aboutPicturesShown_ = false;
    bool firstPaintDone_ = false;

    // Control states of pages not built yet.
    struct Model {
        std::array<bool, kResolutionCount> res{};
        std::array<bool, 6> today{};
        std::map<Choice, int> choices;
        std::map<Check, bool> checks;
        std::map<Field, std::string> fields;
        std::map<Label, std::string> labels;
    } model_;
    std::array<bool, kPageCount> built_{};

    // Title area.
    QLabel* verselabel_ = nullptr;
    style::Picture* image1_ = nullptr;
    style::Picture* image3_ = nullptr;
    style::Picture* hl2logo_ = nullptr;
    QToolButton* speedButton1_ = nullptr;
    QToolButton* speedButton2_ = nullptr;

    // Side menu.
    QFrame* groupBar_ = nullptr;
    std::array<QToolButton*, 2> groupHeaders_{};
    std::array<QWidget*, 2> groupBodies_{};
    std::array<bool, 2> menuItemsBuilt_{};
    QVBoxLayout* menuColumn_ = nullptr;
    std::map<int, QPushButton*> pageItems_;  // page index -> menu item
    QPushButton* aboutItem_ = nullptr;
    QPushButton* historyItem_ = nullptr;
    HistoryPage* historyPage_ = nullptr;

    QPushButton* benchButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QProgressBar* runProgress_ = nullptr;
    QLabel* runProgressText_ = nullptr;
    QLabel* statusInfo_ = nullptr;
    bool debugModeActive_ = false;
    // The last run's report, in the status strip: its path as a link, "Open
    // report" and "Open folder"; made when first needed.
    QWidget* reportBar_ = nullptr;
    QLabel* reportLink_ = nullptr;
    std::string report_;

    // Page area and About view.
    QStackedWidget* pageControl_ = nullptr;
    QWidget* aboutView_ = nullptr;

    // Option controls.
    QGroupBox* res_ = nullptr;
    std::array<QCheckBox*, 6> resBoxes_{};
    QGroupBox* detailBox_ = nullptr;
    QButtonGroup* detailGroup_ = nullptr;
    QGroupBox* demoBox_ = nullptr;
    QButtonGroup* demoGroup_ = nullptr;
    QComboBox* afBox_ = nullptr;
    QComboBox* aaBox_ = nullptr;
    QComboBox* heapsizeBox_ = nullptr;
    QComboBox* refreshBox_ = nullptr;
    QComboBox* directXBox_ = nullptr;
    QCheckBox* fastZBox_ = nullptr;
    QCheckBox* hddUseBox_ = nullptr;
    QCheckBox* addInfoBox_ = nullptr;
    QLineEdit* hl2PathEdit_ = nullptr;
    QLineEdit* steamPathEdit_ = nullptr;
    QLineEdit* detailEdit_ = nullptr;
    QLineEdit* demoEdit_ = nullptr;
    QLineEdit* resEdit_ = nullptr;
    QLineEdit* noteEdit_ = nullptr;
    QToolButton* detailButton_ = nullptr;
    QToolButton* demoEditButton_ = nullptr;
    QToolButton* toolButton5_ = nullptr;
    QPushButton* toolButton3_ = nullptr;  // Update benchmark
    QPushButton* toolButton4_ = nullptr;  // Contact us (email)
    QPushButton* toolButton7_ = nullptr;  // View additional information
    QPushButton* debugBtn_ = nullptr;
    QLabel* label17_ = nullptr;
    QLabel* headerVersion_ = nullptr;
    // Page 7, "Passes & results".
    std::array<QCheckBox*, 6> todayBoxes_{};
    QCheckBox* customResBox_ = nullptr;
    QLineEdit* customResEdit_ = nullptr;
    QComboBox* passesBox_ = nullptr;
    QCheckBox* adaptiveBox_ = nullptr;
    QComboBox* thresholdBox_ = nullptr;
    QComboBox* capBox_ = nullptr;
    QCheckBox* summaryBox_ = nullptr;
    QCheckBox* resultFilesBox_ = nullptr;
    // The time left below the pass count, counted down each second from the
    // run's last estimate.
    std::optional<std::chrono::milliseconds> timeLeft_;
    std::chrono::steady_clock::time_point timeLeftSince_;
    QTimer* countdown_ = nullptr;
    int progressCurrent_ = 0;
    int progressTotal_ = 0;

    std::map<QObject*, std::function<void()>> leaveHandlers_;
    std::map<QObject*, std::function<void()>> clickHandlers_;  // banners and link labels
    std::map<Control, bool> enabled_;                          // the state the core set
    std::function<void()> updateAction_, debugAction_, hardwareAction_;

    bool dragging_ = false;
    QPoint dragOffset_;
    bool closeAllowed_ = false;
    bool closeQueryRunning_ = false;
};

}  // namespace vantor
