// The main window's side of the settings dialog: the request, the dialog
// itself, and applying the port the user chose.

#include "main_window.h"

#include "port_mapping.h"

#include <QMouseEvent>

// --- Settings -----------------------------------------------------------------

void MainWindow::cmdSettings_Click()
{
    settingsRequested_ = true;
    // Reads are held (with no client connected) and a wait on a silent radio
    // ends at once; the tick then opens the dialog.
    radio_.HoldReads(true);
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && childAt(event->position().toPoint()) == nullptr)
        Form_DblClick();
}

void MainWindow::Form_DblClick()
{
    if (form2_ || unloading_)
        return;
    auto* dialog = new SettingsDialog(commPortNumber_, commSettings_, radioAnswers_, this);
    form2_ = dialog;
    radio_.PausePolling(Transceiver::PollPause::Dialog, true);
    settingsRequested_ = false;
    radio_.HoldReads(false);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->onOk = [this, dialog](const QString& portText, const QString& settingsText,
                                  SettingsDialog::Settled settled) {
        applySettingsChoice(portText, settingsText, dialog->RadioAnswers(), std::move(settled));
    };
    dialog->describeDevice = [this](const QString& portText) {
        const auto number = ParsePortNumber(portText);
        if (!number)
            return QString();
        return deviceForPort(*number);
    };
    dialog->updateDeviceTip();
    connect(dialog, &QDialog::finished, this, [this, answersBefore = radioAnswers_] {
        if (unloading_)
            return;
        form2_ = nullptr; // closed: it holds the display no longer, though deleted later
        radio_.PausePolling(Transceiver::PollPause::Dialog, false);
        // No poll brings a reading to a frozen display of what was set, nor
        // to one that held another kind of reading.
        if (!radioAnswers_ || radioAnswers_ != answersBefore) {
            showReading(true);
            showUplink();
        }
    });
    // Window-modal and non-blocking: the dialog holds the user, not the code.
    dialog->open();
}

void MainWindow::applySettingsChoice(const QString& portText, const QString& settingsText, bool radioAnswers,
                                     SettingsDialog::Settled settled)
{
    commSettings_ = settingsText;
    if (radioAnswers != radioAnswers_) {
        radioAnswers_ = radioAnswers;
        radio_.SetRadioAnswers(radioAnswers);
        showAnswers();
    }
    const auto number = ParsePortNumber(portText);
    if (!number) {
        // A number no port can have: handled like a port that cannot be
        // opened. The open one closes, receive first if it is owed.
        radio_.ClosePort();
        parts_.messages.showPortNotAvailable(QStringLiteral("\"%1\" is not a port number.").arg(portText));
        settled(false);
        return;
    }
    commPortNumber_ = *number;
    // A port chosen here is the user's choice now: a missing device is not waited for.
    radio_.OpenPort(commPortNumber_, commSettings_, false, std::move(settled));
}
