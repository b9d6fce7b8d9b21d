#include "spoken_names.h"

#include "cat_protocol.h"
#include "control_layout.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <vector>

namespace {

constexpr int kSMeterTop = 0x1F; // the bar's range is the status byte's five bits

struct ScaleMark {
    int level;      // the bar level that reaches the mark
    QString spoken; // "S5", "S9+20"
};

std::string_view scaleCaption()
{
    for (const ControlSpec& spec : kMainWindowControls)
        if (std::string_view(spec.name) == "Label1")
            return spec.caption;
    return {};
}

// The scale label sits over the bar with the same left edge and width, in a
// fixed-pitch font, so a mark's place along the bar is its middle character's
// place along the caption. "." is the bottom of the scale, the digits are S1
// to S9, and "+20" and up are decibels over S9.
std::vector<ScaleMark> scaleMarks()
{
    const std::string_view caption = scaleCaption();
    const double length = double(caption.size());
    std::vector<ScaleMark> marks;
    std::string_view lastS = "0";
    for (std::size_t i = 0; i < caption.size();) {
        if (caption[i] == ' ') {
            ++i;
            continue;
        }
        const std::size_t end = std::min(caption.find(' ', i), caption.size());
        const std::string_view token = caption.substr(i, end - i);
        const double middle = (double(i) + double(token.size()) / 2.0) / length;
        const int level = int(std::lround(middle * kSMeterTop));
        QString spoken;
        if (token == ".") {
            spoken = QStringLiteral("S0");
        } else if (token.front() == '+') {
            spoken = QStringLiteral("S%1%2").arg(QString::fromLatin1(lastS.data(), qsizetype(lastS.size())),
                                                 QString::fromLatin1(token.data(), qsizetype(token.size())));
        } else {
            lastS = token;
            spoken = QStringLiteral("S") + QString::fromLatin1(token.data(), qsizetype(token.size()));
        }
        marks.push_back({level, spoken});
        i = end;
    }
    return marks;
}

// 1825 kHz as "1.825", 14200 as "14.2", 7000 as "7".
QString megahertzText(int kilohertz)
{
    QString text = QString::number(kilohertz / 1000);
    const int fraction = kilohertz % 1000;
    if (fraction != 0) {
        QString digits = QStringLiteral("%1").arg(fraction, 3, 10, QLatin1Char('0'));
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        text += QLatin1Char('.') + digits;
    }
    return text;
}

// 10 Hz as "10 Hz", 5000 Hz as "5 kHz".
QString hertzText(int hertz)
{
    if (hertz >= 1000 && hertz % 1000 == 0)
        return QStringLiteral("%1 kHz").arg(hertz / 1000);
    return QStringLiteral("%1 Hz").arg(hertz);
}

struct AmateurBand {
    int lowKhz, highKhz;
    const char* name;
};

// The bands the radio covers, by their usual wavelength names.
constexpr std::array<AmateurBand, 13> kAmateurBands{{
    {1800, 2000, "160 metres"},
    {3500, 4000, "80 metres"},
    {5250, 5450, "60 metres"},
    {7000, 7300, "40 metres"},
    {10100, 10150, "30 metres"},
    {14000, 14350, "20 metres"},
    {18068, 18168, "17 metres"},
    {21000, 21450, "15 metres"},
    {24890, 24990, "12 metres"},
    {28000, 29700, "10 metres"},
    {50000, 54000, "6 metres"},
    {144000, 148000, "2 metres"},
    {420000, 450000, "70 centimetres"},
}};

constexpr std::array<const char*, 3> kSliderWords{"Fine", "Medium", "Coarse"};

} // namespace

QString SMeterSpoken(int raw0to31)
{
    static const std::vector<ScaleMark> marks = scaleMarks();
    QString spoken = QStringLiteral("S0");
    for (const ScaleMark& mark : marks)
        if (raw0to31 >= mark.level)
            spoken = mark.spoken;
    return spoken;
}

QString PowerOutSpoken(int raw0to31)
{
    const int level = std::clamp(raw0to31, 0, kSMeterTop);
    return QStringLiteral("%1 %").arg(int(std::lround(level * 100.0 / kSMeterTop)));
}

QString AmateurBandName(int kilohertz)
{
    for (const AmateurBand& band : kAmateurBands)
        if (kilohertz >= band.lowKhz && kilohertz <= band.highKhz)
            return QString::fromLatin1(band.name);
    return {};
}

QString BandButtonName(const BandButton& band)
{
    QStringList parts;
    const QString bandName = AmateurBandName(band.kilohertz);
    if (!bandName.isEmpty())
        parts << bandName;
    parts << megahertzText(band.kilohertz) + QStringLiteral(" MHz");
    parts << cat::ModeText(band.modeCode).trimmed();
    return parts.join(QStringLiteral(", "));
}

QString ModeButtonName(const char* caption)
{
    QString name = QString::fromLatin1(caption);
    name.replace(QStringLiteral("(R)"), QStringLiteral(" reverse"));
    name.replace(QStringLiteral("(N)"), QStringLiteral(" narrow"));
    return name;
}

QString TuningReachText(TuningSlider slider)
{
    const int stepHz = kSliderSteps[std::size_t(slider)].step10Hz * 10;
    return QStringLiteral("±") + hertzText(stepHz * kSliderCentre);
}

QString TuningSliderName(TuningSlider slider)
{
    const int stepHz = kSliderSteps[std::size_t(slider)].step10Hz * 10;
    return QStringLiteral("%1 tuning, %2 steps, %3")
        .arg(QLatin1String(kSliderWords[std::size_t(slider)]), hertzText(stepHz), TuningReachText(slider));
}
