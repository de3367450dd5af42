#include "gui/AutoUpgraderWizard.h"

#include "update/AutoUpgrader.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vantor {
namespace {

// Pic118x218: the window's picture, drawn in the program's colours.
QPixmap sidePicture() {
    QPixmap pic(118, 218);
    QPainter p(&pic);
    QLinearGradient g(0, 0, 0, 218);
    g.setColorAt(0, QColor(0x1b, 0x25, 0x33));
    g.setColorAt(1, QColor(0xc8, 0x6a, 0x1e));
    p.fillRect(pic.rect(), g);
    p.setPen(QColor(0xf0, 0xf0, 0xf0));
    QFont f = p.font();
    f.setBold(true);
    f.setPointSize(12);
    p.setFont(f);
    p.drawText(pic.rect().adjusted(6, 0, -6, -16), Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap,
               QStringLiteral("Vantor"));
    return pic;
}

}  // namespace

TAutoUpgraderWizardForm::TAutoUpgraderWizardForm(const WizardOptions& options, QWidget* parent)
    : QDialog(parent, Qt::Dialog | (options.StayOnTop ? Qt::WindowStaysOnTopHint : Qt::Widget)), options_(options) {
    setObjectName(QStringLiteral("AutoUpgraderWizardForm"));
    setWindowTitle(QString::fromUtf8(kUpdateCaption));

    auto* picture = new QLabel;
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(sidePicture());
    picture->setFixedSize(118, 218);

    title_ = new QLabel(QStringLiteral("Downloading files..."));
    title_->setObjectName(QStringLiteral("TitleLabel"));
    QFont bold = title_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    title_->setFont(bold);
    note_ = new QLabel;
    note_->setObjectName(QStringLiteral("NoteLabel"));
    note_->setWordWrap(true);
    note_->hide();
    locationCaption_ = new QLabel(QStringLiteral("Downloading file from"));
    location_ = new QLabel;
    location_->setWordWrap(true);
    // Hidden, the labels below move up: the layout closes the gap.
    locationCaption_->setVisible(!options_.HideFileLocation);
    location_->setVisible(!options_.HideFileLocation);

    currentGroup_ = new QGroupBox(QStringLiteral("Current file"));
    fileSize_ = new QLabel;
    rate_ = new QLabel;
    timeLeft_ = new QLabel(QStringLiteral("Preparing. . ."));
    fileBar_ = new QProgressBar;
    fileBar_->setRange(0, 100);
    auto* current = new QVBoxLayout(currentGroup_);
    for (QWidget* w : {static_cast<QWidget*>(fileSize_), static_cast<QWidget*>(rate_), static_cast<QWidget*>(timeLeft_),
                       static_cast<QWidget*>(fileBar_)})
        current->addWidget(w);

    allGroup_ = new QGroupBox(QStringLiteral("All files"));
    allFiles_ = new QLabel;
    allBar_ = new QProgressBar;
    allBar_->setRange(0, 100);
    auto* all = new QVBoxLayout(allGroup_);
    all->addWidget(allFiles_);
    all->addWidget(allBar_);

    next_ = new QPushButton(QStringLiteral("&Next >"));
    next_->setObjectName(QStringLiteral("NextBtn"));
    next_->setEnabled(false);
    next_->setAutoDefault(false);
    cancel_ = new QPushButton(QStringLiteral("&Cancel"));
    cancel_->setObjectName(QStringLiteral("CancelBtn"));
    cancel_->setDefault(true);
    connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
    connect(next_, &QPushButton::clicked, this, [this] {
        if (options_.onFinish) options_.onFinish();
    });

    auto* right = new QVBoxLayout;
    right->addWidget(title_);
    right->addWidget(note_);
    right->addWidget(locationCaption_);
    right->addWidget(location_);
    right->addWidget(currentGroup_);
    right->addWidget(allGroup_);
    right->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(next_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setMinimumWidth(460);
}

void TAutoUpgraderWizardForm::setFile(const QString& allText, const QString& url) {
    allFiles_->setText(allText);
    location_->setText(url);
    fileSize_->clear();
    rate_->clear();
    timeLeft_->setText(QStringLiteral("Preparing. . ."));
    fileBar_->setValue(0);
}

void TAutoUpgraderWizardForm::setFileSize(const QString& text) { fileSize_->setText(text); }

void TAutoUpgraderWizardForm::setProgress(const QString& rate, const QString& timeLeft, int filePercent,
                                          int allPercent) {
    rate_->setText(rate);
    timeLeft_->setText(timeLeft);
    fileBar_->setValue(std::clamp(filePercent, 0, 100));
    allBar_->setValue(std::clamp(allPercent, 0, 100));
}

void TAutoUpgraderWizardForm::setCompleted(const QString& noteText) {
    title_->setText(QStringLiteral("Upgrade completed!"));
    note_->setText(noteText);
    note_->show();
    locationCaption_->hide();
    location_->hide();
    currentGroup_->hide();
    allGroup_->hide();
    cancel_->setEnabled(false);
    cancel_->setDefault(false);
    next_->setText(QStringLiteral("&OK"));
    next_->setEnabled(true);
    next_->setDefault(true);
    next_->setFocus();
}

void TAutoUpgraderWizardForm::closeByLogic() {
    closing_ = true;
    close();
}

void TAutoUpgraderWizardForm::reject() {
    // Escape and "&Cancel": the logic asks whether to abort.
    if (options_.onCancel) options_.onCancel();
}

void TAutoUpgraderWizardForm::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    event->ignore();
    if (options_.onCancel) options_.onCancel();
}

}  // namespace vantor
