// Feeds arbitrary bytes to the memory file reader and every field it
// returns to the kHz reader, and aborts when a result breaks what the
// window relies on: no control characters in any text, kHz values inside
// the limit, and no more records than the bytes can hold.

#include "memory_file.h"

#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

bool ShownSafely(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            return false;
    }
    return true;
}

void CheckKilohertz(QStringView text)
{
    const memories::KhzValue v = memories::ParseKilohertz(text);
    if (v.fits)
        Check(v.kilohertz >= -memories::kMaxKilohertz && v.kilohertz <= memories::kMaxKilohertz);
    else
        Check(v.kilohertz == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<memories::MemoryChannel> channels = memories::ParseMemoryText(bytes);

    // Neighbouring fields are parted by at least one byte, so n bytes hold
    // at most n + 1 fields.
    Check(channels.size() <= (bytes.size() + 1) / 3);
    for (const memories::MemoryChannel& c : channels) {
        for (const QString* field : {&c.name, &c.frequencyText, &c.modeWord}) {
            Check(ShownSafely(*field));
            CheckKilohertz(*field);
        }
    }
    // The raw bytes as text too, so long numbers are not cut at separators.
    CheckKilohertz(QString::fromLatin1(bytes));
    return 0;
}
