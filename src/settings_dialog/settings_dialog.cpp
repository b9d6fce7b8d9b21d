#include "settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {

constexpr int kTwipsPerPixel = 15;
int px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

struct DialogControl {
    const char* name;
    int left, top, width, height; // twips
};

constexpr DialogControl kLabel1{"Label1", 180, 180, 2295, 495};
constexpr DialogControl kPort{"cboCommPort", 180, 690, 2265, 660};
constexpr DialogControl kLabel2{"Label2", 2880, 180, 2295, 495};
constexpr DialogControl kSpeed{"cboCommSpeed", 2850, 690, 5325, 660};
constexpr DialogControl kAnswers{"chkAnswers", 180, 1470, 7995, 600};
constexpr DialogControl kCancel{"cmdCancel", 600, 2220, 3045, 885};
constexpr DialogControl kOk{"cmdOK", 4620, 2220, 3045, 885};

void place(QWidget* widget, const DialogControl& spec)
{
    widget->setObjectName(QString::fromLatin1(spec.name));
    widget->setGeometry(px(spec.left), px(spec.top), px(spec.width), px(spec.height));
}

// Every control of the dialog is in this font.
QFont dialogFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setPointSizeF(24);
    font.setBold(true);
    return font;
}

// The dialog's colours. Under a style sheet a widget no longer inherits its
// parent's setFont(): it takes the font the sheet gives it, or else the
// application's default font. So the sheet carries the font too, and the
// check box's own size.
QString styleSheetFor(const QFont& font, double checkBoxPoints)
{
    return QStringLiteral("QWidget { font: %1 %2pt \"%3\"; }"
                          " QCheckBox#chkAnswers { font-size: %4pt; }"
                          " QDialog, QLabel { background-color: rgb(255,224,192); }"
                          " QPushButton { border: 1px solid gray; }"
                          " QPushButton#cmdCancel { background-color: rgb(255,128,128); }"
                          " QPushButton#cmdOK { background-color: rgb(128,255,128); }")
        .arg(font.bold() ? QStringLiteral("bold") : QStringLiteral("normal"))
        .arg(font.pointSizeF())
        .arg(font.family())
        .arg(checkBoxPoints);
}

// The check box's text is long: the dialog's font, made smaller until the
// text and its box fit the width.
double checkBoxPointsFor(QFont font, const QString& text, int width)
{
    const int room = width - 28; // the box and its spacing
    while (font.pointSizeF() > 8 && QFontMetrics(font).horizontalAdvance(text) > room)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    return font.pointSizeF();
}

// An editable combo box completes inline by default, and Return with the
// text selected to its end (as Tab leaves it) replaces the text with the
// completer's current entry: the list's first one when nothing was typed.
// Without the completer Return keeps the text and reaches the default
// button; a text equal to a list entry still selects that entry.
void keepTypedTextOnReturn(QComboBox* box) { box->setCompleter(nullptr); }

} // namespace

SettingsDialog::SettingsDialog(int commPortNumber, const QString& commSettings, bool radioAnswers, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Solvane - Settings"));
    setWindowIcon(QIcon());
    setFixedSize(px(8355), px(3990));
    setFont(dialogFont());
    const QString answersText = tr("Radio answers (clear for an FT-847 before serial 8G05)");
    setStyleSheet(styleSheetFor(font(), checkBoxPointsFor(font(), answersText, px(kAnswers.width))));

    Label1 = new QLabel(QStringLiteral("Comm <n>"), this);
    place(Label1, kLabel1);
    cboCommPort = new QComboBox(this);
    cboCommPort->setEditable(true);
    cboCommPort->setInsertPolicy(QComboBox::NoInsert);
    keepTypedTextOnReturn(cboCommPort);
    for (int n = 1; n <= 8; ++n)
        cboCommPort->addItem(QString::number(n));
    place(cboCommPort, kPort);

    Label2 = new QLabel(QStringLiteral("Speed"), this);
    place(Label2, kLabel2);
    cboCommSpeed = new QComboBox(this);
    cboCommSpeed->setEditable(true);
    cboCommSpeed->setInsertPolicy(QComboBox::NoInsert);
    keepTypedTextOnReturn(cboCommSpeed);
    cboCommSpeed->addItems({QStringLiteral("4800,N,8,1"), QStringLiteral("9600,N,8,1"),
                            QStringLiteral("57600,N,8,1")});
    place(cboCommSpeed, kSpeed);

    // An FT-847 made before serial 8G05 obeys every set but answers no read.
    chkAnswers = new QCheckBox(answersText, this);
    place(chkAnswers, kAnswers);
    chkAnswers->setChecked(radioAnswers);
    chkAnswers->setAccessibleName(answersText);
    chkAnswers->setToolTip(tr("[Radio] Answers in the settings file. Cleared, Solvane reads nothing from the radio "
                              "and shows what it last set."));

    cmdCancel = new QPushButton(QStringLiteral("CANCEL"), this);
    place(cmdCancel, kCancel);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    place(cmdOK, kOk);
    // Return means OK, unless the focus is on Cancel; Escape means Cancel.
    cmdOK->setDefault(true);

    // A screen reader names each box by the label it is labelled by (the
    // buddy); "Comm <n>" spelt out would say little, so that label is
    // named plainly. Where a combo box has a name of its own, the same.
    Label1->setBuddy(cboCommPort);
    Label2->setBuddy(cboCommSpeed);
    Label1->setAccessibleName(tr("Comm port"));
    cboCommPort->setAccessibleName(Label1->accessibleName());
    cboCommSpeed->setAccessibleName(Label2->text());

    // Tab order: port, port label, speed, speed label, answers, OK, Cancel.
    // Labels take no focus, so the chain is port, speed, answers, OK, Cancel.
    setTabOrder(cboCommPort, cboCommSpeed);
    setTabOrder(cboCommSpeed, chkAnswers);
    setTabOrder(chkAnswers, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    // Form2 load: the current values, typed over the lists.
    cboCommPort->setEditText(QString::number(commPortNumber));
    cboCommSpeed->setEditText(commSettings);
    cboCommPort->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &SettingsDialog::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &SettingsDialog::cmdCancel_Click);
    connect(cboCommPort, &QComboBox::editTextChanged, this, &SettingsDialog::updateDeviceTip);
}

void SettingsDialog::updateDeviceTip()
{
    if (!describeDevice)
        return;
    const QString device = describeDevice(cboCommPort->currentText());
    const QString tip = device.isEmpty() ? tr("No device for this port number")
                                         : tr("Port %1 is %2").arg(cboCommPort->currentText().trimmed(), device);
    cboCommPort->setToolTip(tip);
    Label1->setToolTip(tip);
}

void SettingsDialog::cmdOK_Click()
{
    if (!onOk || !cmdOK->isEnabled())
        return;
    cmdOK->setEnabled(false);
    QPointer<SettingsDialog> self(this);
    onOk(cboCommPort->currentText(), cboCommSpeed->currentText(), [self](bool open) {
        if (!self)
            return;
        self->cmdOK->setEnabled(true);
        if (open)
            self->accept();
        // Otherwise the message has been shown and the dialog stays for another try.
    });
}

void SettingsDialog::cmdCancel_Click() { reject(); }

bool SettingsDialog::RadioAnswers() const { return chkAnswers->isChecked(); }
