#include "app/QtDialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace qv {

namespace {

std::optional<QString> RunFileDialog(const FileDialogRequest& request,
                                     QFileDialog::AcceptMode mode) {
    QFileDialog dialog;
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilters(QtNameFilters(QString::fromLatin1(request.filter)));
    QString suffix = QString::fromLatin1(request.defaultExt);
    suffix.remove(QLatin1String("*."));
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

}  // namespace

void QtDialogs::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Dialog"), text, QMessageBox::Ok);
    box.exec();
}

bool QtDialogs::ConfirmWarning(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text,
                    QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

bool QtDialogs::ConfirmStop(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text);
    QPushButton* stop =
        box.addButton(QStringLiteral("Stop the update"), QMessageBox::DestructiveRole);
    QPushButton* carryOn =
        box.addButton(QStringLiteral("Continue the update"), QMessageBox::RejectRole);
    box.setDefaultButton(carryOn);
    box.setEscapeButton(carryOn);
    box.exec();
    return box.clickedButton() == stop;
}

void QtDialogs::ShowError(const QString& text) {
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), text);
}

std::optional<QString> QtDialogs::OpenFile(const FileDialogRequest& request) {
    return RunFileDialog(request, QFileDialog::AcceptOpen);
}

std::optional<QString> QtDialogs::SaveFile(const FileDialogRequest& request) {
    return RunFileDialog(request, QFileDialog::AcceptSave);
}

QStringList QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = parts[i + 1].split(QLatin1Char(';')).join(QLatin1Char(' '));
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return filters;
}

}  // namespace qv
