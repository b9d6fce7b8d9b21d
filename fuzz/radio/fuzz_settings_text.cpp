// The line-settings and port-number texts, as typed into the settings
// dialog or found in a hand-edited settings file.

#include "line_settings.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto settings = ParseLineSettings(text)) {
        if (settings->baudRate <= 0)
            std::abort();
        // What was accepted reads back the same when written out plainly.
        const QString again = QStringLiteral("%1,N,%2,1").arg(settings->baudRate).arg(int(settings->dataBits));
        if (!ParseLineSettings(again))
            std::abort();
    }
    (void)ParsePortNumber(text);
    return 0;
}
