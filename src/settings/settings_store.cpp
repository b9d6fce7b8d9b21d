#include "settings_store.h"

#include "line_settings.h"

#include <QSettings>

namespace {
const QString kPortKey = QStringLiteral("Settings/Commport");
const QString kSpeedKey = QStringLiteral("Settings/CommSpeed");
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
    return choice;
}

void QtSettingsStore::Save(const PortChoice& choice)
{
    if (!Readable())
        return;
    impl_->settings.setValue(kPortKey, QString::number(choice.CommPortNumber));
    impl_->settings.setValue(kSpeedKey, choice.CommSettings);
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
    const QString listen = StoredText(settings.value(QStringLiteral("Network/Listen"))).trimmed().toLower();
    if (listen == QLatin1String("false") || listen == QLatin1String("0") || listen == QLatin1String("no")
        || listen == QLatin1String("off"))
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
