#include "gui/DialogsQt.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStringList>

namespace vantor {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

QString title() { return QGuiApplication::applicationDisplayName(); }

}  // namespace

QWidget* DialogsQt::parent() const { return owner_ && owner_->isVisible() ? owner_.data() : nullptr; }

void DialogsQt::message(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, title(), q(text), QMessageBox::Ok, parent());
    // A path in the message (a report the desktop could not open) can be copied.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

bool DialogsQt::confirm(const std::string& text) {
    QMessageBox box(QMessageBox::Question, title(), q(text), QMessageBox::Yes | QMessageBox::No, parent());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void DialogsQt::error(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, title(), q(text), QMessageBox::Ok, parent());
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

QString DialogsQt::qtFilter(const std::string& filter) {
    const QStringList parts = q(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i].trimmed();
        QStringList masks = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (auto& m : masks) m = m.trimmed();
        const QString maskText = masks.join(QLatin1Char(' '));
        // Qt reads the masks from the last parentheses: a description that
        // already shows them is kept as it is.
        if (desc.endsWith(QLatin1Char('(') + maskText + QLatin1Char(')')))
            out << desc;
        else
            out << desc + QStringLiteral(" (") + maskText + QLatin1Char(')');
    }
    if (parts.size() % 2 == 1 && !parts.back().trimmed().isEmpty() && out.isEmpty()) out << parts.back().trimmed();
    return out.join(QStringLiteral(";;"));
}

std::optional<std::string> DialogsQt::openFile(const std::string& title, const std::string& filter) {
    const QString chosen = QFileDialog::getOpenFileName(parent(), q(title), QString(), qtFilter(filter));
    if (chosen.isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(chosen).toStdString();
}

std::optional<std::string> DialogsQt::chooseFolder(const std::string& title) {
    const QString chosen = QFileDialog::getExistingDirectory(parent(), q(title), QString(), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(chosen).toStdString();
}

}  // namespace vantor
