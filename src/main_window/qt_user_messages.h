#pragma once
#include "user_messages.h"

#include <QPointer>

class QWidget;
class QMessageBox;

// The port message as a window-modal box with one OK button. It does not
// block: the caller returns at once and the box stays until dismissed, by
// the user or by the program once the device is back.
class QtUserMessages final : public UserMessages {
public:
    void setParentWindow(QWidget* window) { parent_ = window; }
    void showPortNotAvailable(const QString& details) override;
    void dismissPortNotAvailable() override;
    // A note that holds nobody: not modal, the program carries on.
    void showNotice(const QString& text);

private:
    QPointer<QWidget> parent_;
    QPointer<QMessageBox> box_;
};
