#include "command_line.h"

#include "listen_address.h"
#include "qt_options.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

constexpr int kUsageErrorExit = 2; // GNU convention for a bad command line

const QString kProgram = QStringLiteral("solvane");

CommandLineOutcome Failure(const QString& message)
{
    CommandLineOutcome outcome;
    outcome.action = CommandLineOutcome::Action::Fail;
    outcome.exitCode = kUsageErrorExit;
    outcome.text = QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(kProgram, message);
    return outcome;
}

} // namespace

bool ParseListenEndpoint(const QString& text, QString* address, quint16* port, QString* error)
{
    const auto fail = [&](const QString& why) {
        *error = QStringLiteral("invalid --listen value '%1': %2").arg(text, why);
        return false;
    };
    const QString expected = QStringLiteral("expected ADDRESS:PORT, such as 127.0.0.1:4532 or [::1]:4532");

    QString hostText;
    QString portText;
    bool bracketed = false;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QStringLiteral("]:"));
        if (close < 0)
            return fail(expected);
        hostText = text.mid(1, close - 1);
        portText = text.mid(close + 2);
        bracketed = true;
    } else {
        const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
        if (colon < 0)
            return fail(expected);
        hostText = text.left(colon);
        portText = text.mid(colon + 1);
        if (hostText.contains(QLatin1Char(':')))
            return fail(QStringLiteral("write an IPv6 address in brackets, such as [::1]:4532"));
    }
    if (hostText.isEmpty())
        return fail(expected);

    // Unbracketed, it has no ':' and can only be IPv4.
    QString advice;
    const auto host = ParseListenAddress(hostText, &advice);
    if (!advice.isEmpty())
        return fail(QStringLiteral("'%1' %2").arg(hostText, advice));
    if (!host || (bracketed && host->protocol() != QAbstractSocket::IPv6Protocol))
        return fail(QStringLiteral("'%1' is not an IP%2 address").arg(hostText, bracketed ? QStringLiteral("v6") : QString()));

    static const QRegularExpression digits(QStringLiteral("^\\d{1,5}$"));
    const uint portNumber = digits.match(portText).hasMatch() ? portText.toUInt() : 0;
    if (portNumber < 1 || portNumber > 65535)
        return fail(QStringLiteral("the port must be a number from 1 to 65535"));

    *address = host->toString();
    *port = static_cast<quint16>(portNumber);
    return true;
}

CommandLineOutcome ParseCommandLine(const QStringList& arguments, const QString& version)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Shows and retunes a Yaesu FT-847 over its CAT port, and shares the radio\n"
        "with programs that speak Hamlib NET rigctl (WSJT-X, fldigi, loggers)."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption showVersion(QStringLiteral("version"), QStringLiteral("Show the version and exit."));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("Serve rigctl clients on ADDRESS:PORT for this run, "
                                                   "e.g. 127.0.0.1:4532 or [::1]:4532."),
                                    QStringLiteral("ADDRESS:PORT"));
    const QCommandLineOption noListen(QStringLiteral("no-listen"),
                                      QStringLiteral("Run without the network server this time."));
    const QCommandLineOption headless(QStringLiteral("headless"),
                                      QStringLiteral("Run the radio and the network server without a window "
                                                     "(for a shack computer with no screen)."));
    parser.addOptions({help, showVersion, listen, noListen, headless});

    const QtOptionSplit split = SplitQtOptions(arguments);
    if (!split.error.isEmpty())
        return Failure(split.error);
    if (!parser.parse(split.own))
        return Failure(parser.errorText());
    if (parser.isSet(help)) {
        CommandLineOutcome outcome;
        outcome.action = CommandLineOutcome::Action::ShowHelp;
        outcome.text = parser.helpText().replace(QStringLiteral("<executable_name>"), kProgram)
            + QStringLiteral("\nSettings are read from $XDG_CONFIG_HOME/Solvane.conf (usually\n"
                             "~/.config/Solvane.conf); --listen and --no-listen override its\n"
                             "[Network] section for one run. Qt's own options (-style,\n"
                             "-platform, -display, ...) are passed on to Qt. See solvane(1).\n");
        return outcome;
    }
    if (parser.isSet(showVersion)) {
        CommandLineOutcome outcome;
        outcome.action = CommandLineOutcome::Action::ShowVersion;
        outcome.text = QStringLiteral("%1 %2\n").arg(kProgram, version);
        return outcome;
    }
    if (!parser.positionalArguments().isEmpty())
        return Failure(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().constFirst()));
    if (parser.isSet(listen) && parser.isSet(noListen))
        return Failure(QStringLiteral("--listen and --no-listen cannot be used together"));
    if (parser.isSet(headless) && parser.isSet(noListen))
        return Failure(QStringLiteral("--headless and --no-listen cannot be used together: without a window or "
                                      "the network server there would be nothing to serve"));

    CommandLineOutcome outcome;
    outcome.options.noListen = parser.isSet(noListen);
    outcome.options.headless = parser.isSet(headless);
    outcome.options.qtOptions = split.qt;
    if (parser.isSet(listen)) {
        QString address;
        quint16 port = 0;
        QString error;
        // As with GNU tools, the last --listen counts.
        if (!ParseListenEndpoint(parser.value(listen), &address, &port, &error))
            return Failure(error);
        outcome.options.listenAddress = address;
        outcome.options.listenPort = port;
    }
    return outcome;
}
