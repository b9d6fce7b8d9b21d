#pragma once
// The memory-channel file: comma/line separated fields, three to a record
// (name, frequency in kHz, mode word). The reader only splits and decodes;
// checking the mode word and the frequency range is left to the caller.

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

namespace memories {

struct MemoryChannel {
    QString name;
    QString frequencyText; // as written, blanks trimmed; see ParseKilohertz
    QString modeWord;      // as written, blanks trimmed; case is kept

    friend bool operator==(const MemoryChannel&, const MemoryChannel&) = default;
};

struct KhzValue {
    qint32 kilohertz = 0;
    // false: the number is too large for the radio arithmetic (its magnitude
    // is above kMaxKilohertz); kilohertz is then 0.
    bool fits = true;
};

// The largest magnitude whose value in 10 Hz units still fits a qint32.
inline constexpr qint32 kMaxKilohertz = 21474836;

// Reads the leading decimal number of `text` (after spaces and tabs):
// optional sign, digits, optional '.' and digits; anything after it is
// ignored, and text without a number reads as 0. Rounds to the nearest
// integer, halves to even.
KhzValue ParseKilohertz(QStringView text);

// Splits the file contents into records, in file order. An incomplete last
// record is dropped. Never fails: odd input gives odd names, not errors.
QList<MemoryChannel> ParseMemoryText(QByteArrayView bytes);

// Reads and parses the file at `path`. A missing or unreadable file, a
// directory, a read error or a file larger than kMaxMemoryFileBytes give an
// empty list.
QList<MemoryChannel> LoadMemoryFile(const QString& path);

inline constexpr qint64 kMaxMemoryFileBytes = 64 * 1024 * 1024;

} // namespace memories
