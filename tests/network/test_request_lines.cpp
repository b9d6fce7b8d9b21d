// Cutting a client's byte stream into request lines: line ends, pieces that
// arrive split, and the limit on one line's length.

#include "request_lines.h"

#include <QTest>

namespace {

// Lines as text, an overlong one shown as "<overlong>".
QStringList Feed(RequestLines& lines, const std::string& bytes)
{
    QStringList out;
    for (const auto& line : lines.Feed(bytes))
        out << (line.overlong ? QStringLiteral("<overlong>") : QString::fromStdString(line.text));
    return out;
}

} // namespace

class TestRequestLines : public QObject {
    Q_OBJECT
private slots:
    void lineEnds()
    {
        RequestLines lines;
        QCOMPARE(Feed(lines, "f\nm\r\n\nv"), (QStringList{"f", "m", ""}));
        QCOMPARE(Feed(lines, "\r\n"), QStringList{"v"});
        // A lone CR inside a line is the client's text, not a line end.
        QCOMPARE(Feed(lines, "a\rb\n"), QStringList{"a\rb"});
    }

    void piecesJoin()
    {
        RequestLines lines;
        QCOMPARE(Feed(lines, "F 1407"), QStringList());
        QCOMPARE(Feed(lines, "4000\r"), QStringList());
        QCOMPARE(Feed(lines, "\nf"), QStringList{"F 14074000"});
        QCOMPARE(Feed(lines, "\n"), QStringList{"f"});
    }

    void longestLineIsKept()
    {
        const std::string longest(RequestLines::kMaxLineBytes, 'f');
        RequestLines lines;
        QCOMPARE(Feed(lines, longest + "\n"), QStringList{QString::fromStdString(longest)});
        // Its CR, even arriving apart from the LF, does not count.
        QCOMPARE(Feed(lines, longest + "\r"), QStringList());
        QCOMPARE(Feed(lines, "\n"), QStringList{QString::fromStdString(longest)});
    }

    // Reported once, as soon as it is too long, and not again when its end
    // arrives; the next line reads normally.
    void overlongLineReportedOnceAndSkipped()
    {
        RequestLines lines;
        const std::string half(RequestLines::kMaxLineBytes / 2 + 1, 'x');
        QCOMPARE(Feed(lines, half), QStringList());
        QCOMPARE(Feed(lines, half), QStringList{"<overlong>"});
        QCOMPARE(Feed(lines, std::string(5000, 'y')), QStringList());
        QCOMPARE(Feed(lines, "zz\nf\n"), QStringList{"f"});

        QCOMPARE(Feed(lines, std::string(RequestLines::kMaxLineBytes + 1, 'x') + "\nv\n"),
            (QStringList{"<overlong>", "v"}));
    }
};

QTEST_APPLESS_MAIN(TestRequestLines)
#include "test_request_lines.moc"
