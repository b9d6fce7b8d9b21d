#include "settings_store.h"

#include "line_settings.h"

#include <QSettings>

#include <cstdint>

namespace {
const QString kPortKey = QStringLiteral("Settings/Commport");
const QString kSpeedKey = QStringLiteral("Settings/CommSpeed");
const QString kAnswersKey = QStringLiteral("Radio/Answers");

// The keys of one VFO's last set values: "Radio/Frequency" (Hz) and
// "Radio/Mode" (a memory-file word) for the main VFO, with "Downlink" or
// "Uplink" before the name for the satellite VFOs.
struct VfoKeys {
    QString frequency;
    QString mode;
};

VfoKeys KeysOf(const QString& vfo)
{
    return {QStringLiteral("Radio/%1Frequency").arg(vfo), QStringLiteral("Radio/%1Mode").arg(vfo)};
}

const QString kMain;
const QString kDownlink = QStringLiteral("Downlink");
const QString kUplink = QStringLiteral("Uplink");

bool IsFalse(const QString& text)
{
    const QString word = text.trimmed().toLower();
    return word == QLatin1String("false") || word == QLatin1String("0") || word == QLatin1String("no")
        || word == QLatin1String("off");
}

radio::SetValues LoadVfo(QSettings& settings, const QString& vfo)
{
    const VfoKeys keys = KeysOf(vfo);
    radio::SetValues values;
    bool ok = false;
    const qlonglong hertz = StoredText(settings.value(keys.frequency)).trimmed().toLongLong(&ok);
    // Cut to the radio's 10 Hz step; out of its ranges it is no set it took.
    if (ok && hertz >= 0 && hertz / 10 <= INT32_MAX && cat::InTuningRange(cat::Frequency10Hz(hertz / 10)))
        values.frequency = cat::Frequency10Hz(hertz / 10);
    values.mode = cat::ModeCodeForWord(StoredText(settings.value(keys.mode)).trimmed());
    return values;
}

QString ModeWord(std::uint8_t code)
{
    for (const auto& mode : cat::kModes)
        if (mode.code == code)
            return QString::fromLatin1(mode.fileWord);
    return {};
}

void SaveVfo(QSettings& settings, const QString& vfo, const radio::SetValues& values)
{
    const VfoKeys keys = KeysOf(vfo);
    if (values.frequency)
        settings.setValue(keys.frequency, QString::number(qlonglong(*values.frequency) * 10));
    else
        settings.remove(keys.frequency);
    const QString word = values.mode ? ModeWord(*values.mode) : QString();
    if (!word.isEmpty())
        settings.setValue(keys.mode, word);
    else
        settings.remove(keys.mode);
}

} // namespace

struct QtSettingsStore::Impl {
    QSettings settings{QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Solvane")};
    bool saved = false; // Save wrote keys to a file that read cleanly
};

QtSettingsStore::QtSettingsStore()
    : impl_(std::make_unique<Impl>())
{
}

QtSettingsStore::~QtSettingsStore() = default;

bool QtSettingsStore::Readable() const { return impl_->settings.status() == QSettings::NoError; }

int PortNumberFromText(const QString& text)
{
    const auto number = ParsePortNumber(text);
    return number ? *number : 0;
}

QString StoredText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

PortChoice QtSettingsStore::Load()
{
    // Whatever is on disk now, edited by hand since the store was made.
    impl_->settings.sync();
    PortChoice choice;
    if (!Readable())
        return choice;
    choice.CommPortNumber =
        PortNumberFromText(StoredText(impl_->settings.value(kPortKey, QString::number(kDefaultCommPort))));
    choice.CommSettings = StoredText(impl_->settings.value(kSpeedKey, kDefaultCommSettings));
    choice.RadioAnswers = !IsFalse(StoredText(impl_->settings.value(kAnswersKey)));
    return choice;
}

void QtSettingsStore::Save(const PortChoice& choice)
{
    if (!Readable())
        return;
    impl_->settings.setValue(kPortKey, QString::number(choice.CommPortNumber));
    impl_->settings.setValue(kSpeedKey, choice.CommSettings);
    impl_->settings.setValue(kAnswersKey, choice.RadioAnswers ? QStringLiteral("true") : QStringLiteral("false"));
    impl_->settings.sync();
    impl_->saved = true;
}

QString QtSettingsStore::Flush()
{
    if (!impl_->saved)
        return {};
    // A failed write keeps the keys pending, so this tries once more. The
    // status is the first error met, and Save writes only to a file that
    // read without one: any error now is the write's.
    impl_->settings.sync();
    if (impl_->settings.status() == QSettings::NoError)
        return {};
    return QStringLiteral("The settings could not be written to %1.").arg(impl_->settings.fileName());
}

QString QtSettingsStore::PortsEntry(int portNumber)
{
    return StoredText(impl_->settings.value(QStringLiteral("Ports/COM%1").arg(portNumber)));
}

QString QtSettingsStore::Problem() const
{
    if (Readable())
        return {};
    return QStringLiteral("The settings file %1 could not be read whole, so Solvane uses the default port "
                          "and speed and leaves the file as it is. Check it for a damaged line.")
        .arg(impl_->settings.fileName());
}

NetworkChoice QtSettingsStore::LoadNetwork()
{
    NetworkChoice choice;
    QSettings& settings = impl_->settings;
    if (IsFalse(StoredText(settings.value(QStringLiteral("Network/Listen")))))
        choice.Listen = false;
    const QString address = StoredText(settings.value(QStringLiteral("Network/Address"))).trimmed();
    if (!address.isEmpty())
        choice.Address = address;
    const QString port = StoredText(settings.value(QStringLiteral("Network/Port"))).trimmed();
    if (!port.isEmpty()) {
        bool ok = false;
        const int number = port.toInt(&ok);
        choice.Port = ok && number >= 0 && number <= 65535 ? number : -1; // -1: not a port
    }
    // A list with commas reads back as several values; StoredText joins them.
    if (settings.contains(QStringLiteral("Network/Allow")))
        choice.Allow = StoredText(settings.value(QStringLiteral("Network/Allow"))).trimmed();
    return choice;
}

TransmitChoice QtSettingsStore::LoadTransmit()
{
    TransmitChoice choice;
    QSettings& settings = impl_->settings;
    choice.Enabled = StoredText(settings.value(QStringLiteral("Transmit/Enabled"))).trimmed();
    choice.Limit = StoredText(settings.value(QStringLiteral("Transmit/Limit"))).trimmed();
    if (settings.contains(QStringLiteral("Transmit/Allow")))
        choice.Allow = StoredText(settings.value(QStringLiteral("Transmit/Allow"))).trimmed();
    return choice;
}

radio::LastSet QtSettingsStore::LoadLastSet()
{
    QSettings& settings = impl_->settings;
    return {LoadVfo(settings, kMain), LoadVfo(settings, kDownlink), LoadVfo(settings, kUplink)};
}

void QtSettingsStore::SaveLastSet(const radio::LastSet& values)
{
    if (!Readable())
        return;
    QSettings& settings = impl_->settings;
    SaveVfo(settings, kMain, values.main);
    SaveVfo(settings, kDownlink, values.downlink);
    SaveVfo(settings, kUplink, values.uplink);
    settings.sync();
    impl_->saved = true;
}
