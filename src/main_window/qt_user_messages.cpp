#include "qt_user_messages.h"

#include <QApplication>
#include <QMessageBox>

void QtUserMessages::showPortNotAvailable(const QString& details)
{
    QWidget* parent = parent_ ? parent_->window() : nullptr;
    // Stack on the settings dialog when it is the active window.
    if (QWidget* active = QApplication::activeModalWidget(); active && active != box_)
        parent = active;
    // One box at a time: a second failure replaces the first.
    dismissPortNotAvailable();
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Solvane"), kPortNotAvailableMessage,
                                QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (!details.isEmpty())
        box->setInformativeText(details);
    box_ = box;
    box->open();
}

void QtUserMessages::dismissPortNotAvailable()
{
    if (box_)
        box_->close();
}

void QtUserMessages::showNotice(const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Solvane"), text, QMessageBox::Ok,
                                parent_ ? parent_->window() : nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}
