#include "qt_user_messages.h"

#include <QApplication>
#include <QMessageBox>

void QtUserMessages::showPortNotAvailable()
{
    QWidget* parent = parent_ ? parent_->window() : nullptr;
    // Stack on the settings dialog when it is the active window.
    if (QWidget* active = QApplication::activeModalWidget())
        parent = active;
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Solvane"), kPortNotAvailableMessage,
                                QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
