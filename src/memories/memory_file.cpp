#include "memory_file.h"

#include <QFile>
#include <QFileInfo>

#include <array>

namespace memories {
namespace {

using RawRecord = std::array<QByteArray, 3>;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }
bool IsDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

// C0 controls (NUL included) and DEL are single bytes in both UTF-8 and
// Windows-1252, so they can be replaced before decoding. A space keeps the
// name readable and says nothing odd when spoken.
char Shown(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u < 0x20 || u == 0x7F) ? ' ' : c;
}

// Windows-1252 0x80-0x9F; the five unassigned bytes become U+FFFD. The rest
// of the range above 0x9F is Latin-1.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

QString FromCp1252(const QByteArray& bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        *dst++ = QChar((u >= 0x80 && u <= 0x9F) ? kCp1252High[u - 0x80] : char16_t(u));
    }
    return out;
}

// UTF-8 can also carry the C1 controls U+0080-U+009F; they get the same
// treatment as C0.
QString FromUtf8(const QByteArray& bytes)
{
    QString out = QString::fromUtf8(bytes);
    for (QChar& ch : out) {
        if (ch.unicode() >= 0x80 && ch.unicode() <= 0x9F)
            ch = u' ';
    }
    return out;
}

// Splits the bytes into fields and groups them in threes. Works on bytes:
// every separator, quote and blank is ASCII, so a split can never fall
// inside a UTF-8 sequence, and the encoding is settled once the whole file
// has been seen.
class RecordScanner {
public:
    explicit RecordScanner(QByteArrayView bytes) : p_(bytes.data()), n_(bytes.size()) {}

    void Run()
    {
        // Set by a comma: the line owes one more field, even if empty.
        bool fieldPending = false;
        while (true) {
            while (i_ < n_ && IsBlank(p_[i_]))
                ++i_;
            if (i_ == n_) {
                if (fieldPending)
                    AddField({});
                return;
            }
            if (IsLineEnd(p_[i_])) {
                // An empty or blank line adds nothing; "a," adds an empty field.
                if (fieldPending)
                    AddField({});
                fieldPending = false;
                SkipLineEnd();
                continue;
            }
            AddField(p_[i_] == '"' ? QuotedField() : UnquotedField());
            if (i_ < n_ && p_[i_] == ',') {
                ++i_;
                fieldPending = true;
            } else {
                if (i_ < n_)
                    SkipLineEnd();
                fieldPending = false;
            }
        }
    }

    QList<RawRecord>& records() { return records_; }
    bool allValidUtf8() const { return allValidUtf8_; }

private:
    // At a CR or LF; CRLF counts as one line end.
    void SkipLineEnd()
    {
        if (p_[i_] == '\r' && i_ + 1 < n_ && p_[i_ + 1] == '\n')
            ++i_;
        ++i_;
    }

    // Appends bytes up to the next comma or line end; trailing blanks of
    // this stretch are dropped, anything before `field`'s current end stays.
    void ReadToSeparator(QByteArray& field)
    {
        qsizetype keep = field.size();
        for (; i_ < n_ && p_[i_] != ',' && !IsLineEnd(p_[i_]); ++i_) {
            field.append(Shown(p_[i_]));
            if (!IsBlank(p_[i_]))
                keep = field.size();
        }
        field.truncate(keep);
    }

    QByteArray UnquotedField()
    {
        QByteArray field;
        ReadToSeparator(field);
        return field;
    }

    // At the opening quote. A line end inside the quotes reads as one space;
    // a file that ends before the closing quote ends the field there. Text
    // between the closing quote and the separator is kept as well.
    QByteArray QuotedField()
    {
        QByteArray field;
        ++i_;
        while (i_ < n_) {
            const char c = p_[i_];
            if (c == '"') {
                if (i_ + 1 < n_ && p_[i_ + 1] == '"') {
                    field.append('"');
                    i_ += 2;
                    continue;
                }
                ++i_;
                break;
            }
            if (IsLineEnd(c)) {
                field.append(' ');
                SkipLineEnd();
                continue;
            }
            field.append(Shown(c));
            ++i_;
        }
        ReadToSeparator(field);
        return field;
    }

    void AddField(QByteArray field)
    {
        if (allValidUtf8_ && !QByteArrayView(field).isValidUtf8())
            allValidUtf8_ = false;
        current_[filled_++] = std::move(field);
        if (filled_ == 3) {
            records_.append(std::move(current_));
            current_ = {};
            filled_ = 0;
        }
    }

    const char* p_;
    qsizetype n_;
    qsizetype i_ = 0;
    QList<RawRecord> records_;
    RawRecord current_;
    int filled_ = 0; // fields of the record being read; dropped at the end
    bool allValidUtf8_ = true;
};

} // namespace

KhzValue ParseKilohertz(QStringView text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }

    // Stop accumulating once past the limit: rounding can only add to the
    // magnitude, so the answer is already "does not fit".
    qint64 whole = 0;
    bool tooLarge = false;
    for (; i < n && IsDigit(text[i]); ++i) {
        if (!tooLarge) {
            whole = whole * 10 + (text[i].unicode() - u'0');
            tooLarge = whole > kMaxKilohertz;
        }
    }

    // Only the first decimal and whether anything non-zero follows matter
    // for rounding; reading them as digits keeps halves exact.
    int firstDecimal = 0;
    bool restNonZero = false;
    if (i < n && text[i] == u'.') {
        ++i;
        if (i < n && IsDigit(text[i]))
            firstDecimal = text[i++].unicode() - u'0';
        for (; i < n && IsDigit(text[i]); ++i)
            restNonZero = restNonZero || text[i] != u'0';
    }
    if (tooLarge)
        return {0, false};

    const bool roundUp = firstDecimal > 5
        || (firstDecimal == 5 && (restNonZero || whole % 2 == 1));
    if (roundUp)
        ++whole;
    if (whole > kMaxKilohertz)
        return {0, false};
    const auto magnitude = static_cast<qint32>(whole);
    return {negative ? -magnitude : magnitude, true};
}

QList<MemoryChannel> ParseMemoryText(QByteArrayView bytes)
{
    // A BOM settles the encoding: stray invalid bytes then show as U+FFFD.
    const bool hasBom = bytes.startsWith("\xEF\xBB\xBF");
    if (hasBom)
        bytes = bytes.sliced(3);

    RecordScanner scanner(bytes);
    scanner.Run();
    const bool utf8 = hasBom || scanner.allValidUtf8();
    const auto decode = [utf8](const QByteArray& b) { return utf8 ? FromUtf8(b) : FromCp1252(b); };

    QList<MemoryChannel> channels;
    channels.reserve(scanner.records().size());
    for (RawRecord& raw : scanner.records()) {
        channels.append({decode(raw[0]), decode(raw[1]), decode(raw[2])});
        raw = {}; // keep the peak at one copy of the text
    }
    return channels;
}

QList<MemoryChannel> LoadMemoryFile(const QString& path)
{
    // isFile() also turns away directories, FIFOs and devices, which could
    // block or never end.
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxMemoryFileBytes)
        return {};
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError || data.size() > kMaxMemoryFileBytes)
        return {};
    return ParseMemoryText(data);
}

} // namespace memories
