#include "qt_options.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

// QGuiApplication's and QApplication's documented options, the X11 ones the
// xcb platform reads, and the older X11 ones Qt still tolerates.
constexpr std::array<std::string_view, 28> kWithValue{
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
    "qwindowtitle", "session", "style", "stylesheet", "qmljsdebugger", "display", "geometry", "title",
    "icon", "name", "visual", "ncols", "fn", "font", "bg", "background", "fg", "foreground", "btn",
    "button", "im", "inputstyle",
};
constexpr std::array<std::string_view, 7> kFlags{
    "reverse", "widgetcount", "nograb", "dograb", "sync", "cmap", "testability",
};

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& names, const QString& name)
{
    const QByteArray latin = name.toLatin1();
    return std::find(names.begin(), names.end(), std::string_view(latin.constData(), std::size_t(latin.size())))
        != names.end();
}

} // namespace

QtOptionSplit SplitQtOptions(const QStringList& arguments)
{
    QtOptionSplit split;
    split.own = arguments.mid(0, 1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--")) {
            split.own << arguments.mid(i);
            break;
        }
        const int dashes = argument.startsWith(QLatin1String("--")) ? 2 : argument.startsWith('-') ? 1 : 0;
        const QString body = argument.mid(dashes);
        const qsizetype equals = body.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? body : body.left(equals);
        if (dashes > 0 && Contains(kWithValue, name)) {
            split.qt << argument;
            if (equals >= 0)
                continue;
            if (i + 1 >= arguments.size()) {
                split.error = QStringLiteral("Missing value after '%1'.").arg(argument);
                return split;
            }
            split.qt << arguments[++i];
        } else if (dashes > 0 && equals < 0 && Contains(kFlags, name)) {
            split.qt << argument;
        } else {
            split.own << argument;
        }
    }
    return split;
}
