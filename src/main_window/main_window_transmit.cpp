// The main window's side of the transmitter and satellite mode: the TX
// badge and the power-out bar, the person's stop, the satellite toggle and
// the uplink readout, and the presses a keyed transmitter holds back.

#include "main_window.h"

#include "frequency_speaker.h"
#include "notice_line.h"
#include "window_accessibility.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

void MainWindow::connectTransmitter()
{
    connect(&radio_, &Transceiver::transmitChanged, this, &MainWindow::showTransmitting);
    connect(&radio_, &Transceiver::powerOutRead, this, &MainWindow::showPowerOut);
    connect(&radio_, &Transceiver::keyingStoppedChanged, this,
            [this](bool stopped) { ShowKeyingState(cmdTransmit, stopped); });
    connect(&radio_, &Transceiver::transmitNotice, this, [this](const QString& text) { ShowNotice(*this, text); });
    connect(&radio_, &Transceiver::satelliteChanged, this, &MainWindow::showSatellite);
    connect(&radio_, &Transceiver::uplinkRead, this, &MainWindow::showUplink);
    connect(cmdTransmit, &QPushButton::clicked, this, &MainWindow::cmdTransmit_Click);
    connect(cmdSatellite, &QPushButton::clicked, this, &MainWindow::cmdSatellite_Click);
}

QString MainWindow::NoticeText() const { return ::NoticeText(*this); }

// --- Transmitter ----------------------------------------------------------------

// Shown whatever else holds the display: the person must see a transmitter
// on the air, also while the dialog is open or Solvane speaks.
void MainWindow::showTransmitting(bool on)
{
    lblTransmit->setVisible(on);
    ShowPowerOutMeter(*this, on);
    pbarSmeter->setValue(on ? radio_.PowerOutLevel() : radio_.SMeterLevel());
    // With the port lost nobody knows: the Transceiver's warning says so instead.
    if (on || radio_.PortOpen())
        ShowNotice(*this, TransmitStateText(on, radio_.TransmitHolder(), radio_.KeyedAtRadio()));
}

void MainWindow::showPowerOut(int level)
{
    if (displayFrozen() || !radio_.Transmitting())
        return;
    if (pbarSmeter->value() != level)
        pbarSmeter->setValue(level);
}

void MainWindow::cmdTransmit_Click()
{
    if (radio_.KeyingStopped())
        radio_.AllowKeying();
    else
        radio_.StopTransmitting();
}

bool MainWindow::escapeStopsTransmitting(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
        return false;
    // In the Settings dialog Escape is its Cancel; only this window's Escape stops.
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != this || !radio_.Transmitting())
        return false;
    radio_.StopTransmitting();
    if (Speaking())
        speaker_->Stop();
    return true;
}

bool MainWindow::refused(Press press)
{
    const QString why = RefusalText(press, radio_.Transmitting(), radio_.Satellite(), radio_.KeyedAtRadio());
    if (why.isEmpty())
        return false;
    ShowNotice(*this, why);
    return true;
}

// --- Satellite mode -------------------------------------------------------------

void MainWindow::cmdSatellite_Click()
{
    // The button shows the mode as the radio's owner knows it, not the click.
    const bool on = radio_.Satellite();
    cmdSatellite->setChecked(on);
    if (!refused(Press::SatelliteSwitch))
        radio_.SetSatellite(!on);
}

void MainWindow::showSatellite(bool on)
{
    cmdSatellite->setChecked(on);
    txtUplink->clear();
    showUplink(); // what was set on it, for a radio that cannot be read
    txtUplink->setVisible(on);
    ShowNotice(*this, SatelliteStateText(on));
}

void MainWindow::showUplink()
{
    if (displayFrozen())
        return;
    const VfoReading& uplink = radio_.Reading(radio::Vfo::Uplink);
    const QString text =
        uplink.have ? UplinkText(uplink.digits, uplink.haveMode ? std::optional(uplink.mode) : std::nullopt, showDecimals_)
                    : QString();
    if (txtUplink->text() != text)
        txtUplink->setText(text);
}
