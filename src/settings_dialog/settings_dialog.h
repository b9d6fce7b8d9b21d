#pragma once
// Form2: the port and line settings dialog. It knows nothing of the port:
// OK hands the texts to `onOk`, which reopens the port and says through
// `settled` whether it is open (at once, or once receive owed has left the
// old port); only then does the dialog close, and until then OK waits.
// Below the speed, whether the radio answers reads ([Radio] Answers), which
// `onOk` takes from RadioAnswers().

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(int commPortNumber, const QString& commSettings, bool radioAnswers = true,
                   QWidget* parent = nullptr);

    using Settled = std::function<void(bool open)>;
    std::function<void(const QString& portText, const QString& settingsText, Settled settled)> onOk;
    // The device that a port-number text maps to, for the tooltip.
    std::function<QString(const QString& portText)> describeDevice;

    void cmdOK_Click();
    void cmdCancel_Click();
    // Names the device behind the typed port number in a tooltip.
    void updateDeviceTip();
    bool RadioAnswers() const;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cboCommPort = nullptr;
    QComboBox* cboCommSpeed = nullptr;
    QCheckBox* chkAnswers = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};
