#pragma once
// The per-user store: application "Solvane", section "Settings", keys
// "Commport" and "CommSpeed"; section "Ports" maps port numbers to devices
// on systems without COM names; section "Radio" says whether the radio
// answers reads and keeps what was last set on one that cannot.

#include "last_set.h"

#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

inline constexpr int kDefaultCommPort = 2;
inline const QString kDefaultCommSettings = QStringLiteral("57600,N,8,1");

struct PortChoice {
    int CommPortNumber = kDefaultCommPort;
    QString CommSettings = kDefaultCommSettings;
    // [Radio] Answers: false for an FT-847 before serial 8G05, which never
    // answers a read. Chosen and written with the port.
    bool RadioAnswers = true;
};

// Section "Network": the sharing server. A non-loopback address is only
// ever one the user wrote; Solvane never writes this section.
inline constexpr quint16 kDefaultListenPort = 4532;
inline const QString kDefaultListenAddress = QStringLiteral("127.0.0.1");

struct NetworkChoice {
    bool Listen = true;
    QString Address = kDefaultListenAddress;
    int Port = kDefaultListenPort; // 0..65535 when valid
    // Who may connect besides this computer, as written ("192.168.1.0/24,
    // fd00::/8"); nothing when the key is absent.
    std::optional<QString> Allow;
};

// Section "Transmit": whether programs may key the transmitter through the
// server, from where, and for how long at most. As written; Solvane never
// writes this section.
struct TransmitChoice {
    QString Enabled; // empty when absent
    QString Limit;   // seconds; empty when absent
    std::optional<QString> Allow;
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual PortChoice Load() = 0;
    virtual void Save(const PortChoice& choice) = 0;
    // The "Ports" entry "COM<n>", empty when the user made none.
    virtual QString PortsEntry(int portNumber) = 0;
    // Why the stored values may not be the user's (a file that could not be
    // parsed); empty when all is well.
    virtual QString Problem() const { return {}; }
    virtual NetworkChoice LoadNetwork() { return {}; }
    virtual TransmitChoice LoadTransmit() { return {}; }
    // [Radio]: what was last set on each VFO (Frequency and Mode, with
    // Downlink and Uplink before them for the satellite VFOs); a value that
    // cannot be read is left out. Saving writes what is known and removes
    // the rest.
    virtual radio::LastSet LoadLastSet() { return {}; }
    virtual void SaveLastSet(const radio::LastSet&) {}
};

// QSettings in the platform's native per-user place (on Linux
// $XDG_CONFIG_HOME/Solvane.conf, on Windows the registry under Software\Solvane).
class QtSettingsStore final : public SettingsStore {
public:
    QtSettingsStore();
    ~QtSettingsStore() override;

    PortChoice Load() override;
    // Writes nothing when the store could not be read: the file holds keys
    // of the user's that a rewrite from defaults would lose.
    void Save(const PortChoice& choice) override;
    // Read even from a file that did not parse whole: the lines Qt could
    // read still name the user's devices.
    QString PortsEntry(int portNumber) override;
    QString Problem() const override;
    NetworkChoice LoadNetwork() override;
    TransmitChoice LoadTransmit() override;
    radio::LastSet LoadLastSet() override;
    // Writes nothing when the store could not be read, as Save.
    void SaveLastSet(const radio::LastSet& values) override;
    // Before the program leaves: writes what Save stored if it is not on
    // disk yet. Returns why the file does not hold it (a full disk, a folder
    // that cannot be written), empty when it does or nothing was stored.
    QString Flush();

    bool Readable() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A stored text value. A hand-written INI value holding commas
// (CommSpeed=57600,N,8,1) reads back as a list; it is joined again.
QString StoredText(const QVariant& value);

// The stored "Commport" text as a port number: lenient, rounded to 16 bits;
// a value that does not fit gives 0, which names no port.
int PortNumberFromText(const QString& text);
