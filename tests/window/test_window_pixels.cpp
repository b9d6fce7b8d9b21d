// What the screen shows, not what the font properties say: the settings
// dialog and the main window are grabbed and their text ink is measured
// against the same text drawn here in the font the layout asks for.

#include "settings_dialog.h"
#include "window_rig.h"

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// Text is black; anti-aliased edges count as ink from about half way.
bool isInk(QRgb pixel) { return qGray(pixel) < 110; }

QRect inkBounds(const QImage& image, const QRect& area)
{
    QRect bounds;
    const QRect clipped = area & image.rect();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y)
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            if (isInk(image.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// Ink pixels in each column of `area`.
QList<int> columnInk(const QImage& image, const QRect& area)
{
    QList<int> counts;
    const QRect clipped = area & image.rect();
    for (int x = clipped.left(); x <= clipped.right(); ++x) {
        int n = 0;
        for (int y = clipped.top(); y <= clipped.bottom(); ++y)
            n += isInk(image.pixel(x, y)) ? 1 : 0;
        counts << n;
    }
    return counts;
}

// `text` drawn in black on `background` in `font`, from x = 0.
QImage drawnText(const QString& text, const QFont& font, const QColor& background = Qt::white)
{
    const QFontMetrics metrics(font);
    QImage image(metrics.horizontalAdvance(text) + 20, metrics.height() + 20, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(0, 10 + metrics.ascent(), text);
    return image;
}

QRect drawnInk(const QString& text, const QFont& font)
{
    const QImage image = drawnText(text, font);
    return inkBounds(image, image.rect());
}

// The font the dialog is laid out in.
QFont laidOutFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setPointSizeF(24);
    font.setBold(true);
    return font;
}

QImage grabbed(QWidget& widget)
{
    QImage image = widget.grab().toImage();
    image.setDevicePixelRatio(1); // measure in device pixels, like drawnText
    return image;
}

QRect devicePixels(const QRect& rect, qreal ratio)
{
    return QRectF(QPointF(rect.topLeft()) * ratio, QSizeF(rect.size()) * ratio).toRect();
}

// The colour most pixels of `area` have: the fill behind the text.
QColor fillColour(const QImage& image, const QRect& area)
{
    std::map<QRgb, int> histogram;
    const QRect clipped = area & image.rect();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y)
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            ++histogram[image.pixel(x, y) | 0xff000000];
    const auto most = std::max_element(histogram.begin(), histogram.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    return QColor::fromRgb(most->first);
}

QString describe(const QRect& r)
{
    return QStringLiteral("%1x%2 at %3,%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

} // namespace

class TestWindowPixels : public QObject {
    Q_OBJECT

    std::unique_ptr<SettingsDialog> dialog;
    QImage dialogImage;
    qreal ratio = 1;

    // Where `child`'s text is drawn, in dialog coordinates: a label's whole
    // rectangle, a button's inside its border, a combo box's line edit
    // without the arrow.
    QRect textArea(QWidget* child)
    {
        if (auto* combo = qobject_cast<QComboBox*>(child))
            return QRect(combo->lineEdit()->mapTo(dialog.get(), QPoint(0, 0)), combo->lineEdit()->size());
        if (qobject_cast<QPushButton*>(child))
            return child->geometry().adjusted(3, 3, -3, -3);
        return child->geometry();
    }

    // Where the text's ink on screen differs from the laid-out font's by
    // more than a pixel or two: a description, or empty when it matches.
    QString inkMismatch(QWidget* child, const QString& text)
    {
        const QRect shown = inkBounds(dialogImage, devicePixels(textArea(child), ratio));
        const QRect expected = devicePixels(drawnInk(text, laidOutFont()), ratio);
        if (std::abs(shown.width() - expected.width()) <= 3 && std::abs(shown.height() - expected.height()) <= 2)
            return QString();
        return QStringLiteral("%1 \"%2\": shown %3, in the laid-out font %4")
            .arg(child->objectName(), text, describe(shown), describe(expected));
    }

private slots:
    void initTestCase()
    {
        qInfo("\"Courier New\" resolves to \"%s\" here", qPrintable(QFontInfo(laidOutFont()).family()));
        // The measurements below tell the fonts apart only if the laid-out
        // font is much larger than the default one.
        const QRect laidOut = drawnInk(QStringLiteral("Speed"), laidOutFont());
        const QRect fallback = drawnInk(QStringLiteral("Speed"), QApplication::font());
        QVERIFY2(laidOut.height() > fallback.height() * 3 / 2, qPrintable(describe(laidOut) + " " + describe(fallback)));

        dialog = std::make_unique<SettingsDialog>(2, QStringLiteral("57600,N,8,1"));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        // No text cursor and no selection over the text in the picture.
        if (QWidget* focused = QApplication::focusWidget())
            focused->clearFocus();
        for (QComboBox* box : {dialog->cboCommPort, dialog->cboCommSpeed})
            box->lineEdit()->deselect();
        ratio = dialog->devicePixelRatioF();
        dialogImage = grabbed(*dialog);
        if (const QByteArray dump = qgetenv("SOLVANE_PIXELS_DUMP"); !dump.isEmpty())
            dialogImage.save(QString::fromLocal8Bit(dump) + QStringLiteral("/dialog.png"));
    }

    void cleanupTestCase() { dialog.reset(); }

    void dialogTextShowsTheLaidOutFont_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        // 24 pt bold: "Speed" is about 28 px from the top of the S to the
        // foot of the p; the default font gives about 13.
        QTest::newRow("speed label") << "Label2" << "Speed";
        QTest::newRow("port label") << "Label1" << "Comm <n>";
        QTest::newRow("speed box") << "cboCommSpeed" << "57600,N,8,1";
        QTest::newRow("port box") << "cboCommPort" << "2";
        QTest::newRow("cancel") << "cmdCancel" << "CANCEL";
        QTest::newRow("ok") << "cmdOK" << "OK";
    }

    void dialogTextShowsTheLaidOutFont()
    {
        QFETCH(QString, control);
        QFETCH(QString, text);
        auto* child = dialog->findChild<QWidget*>(control);
        QVERIFY(child);
        const QString mismatch = inkMismatch(child, text);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }

    void dialogColoursAreKept()
    {
        const QColor peach(255, 224, 192);
        QCOMPARE(fillColour(dialogImage, devicePixels(QRect(0, 0, dialog->width(), 10), ratio)), peach);
        QCOMPARE(fillColour(dialogImage, devicePixels(dialog->Label2->geometry(), ratio)), peach);
        QCOMPARE(fillColour(dialogImage, devicePixels(dialog->cmdCancel->geometry().adjusted(3, 3, -3, -3), ratio)),
                 QColor(255, 128, 128));
        QCOMPARE(fillColour(dialogImage, devicePixels(dialog->cmdOK->geometry().adjusted(3, 3, -3, -3), ratio)),
                 QColor(128, 255, 128));
    }

    void memoryCaptionShowsItsFirstLetter()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        QLineEdit* edit = rig.window->cboMemories->lineEdit();
        const QString caption = edit->text();
        QCOMPARE(caption, QStringLiteral(" Preset frequency"));
        if (QWidget* focused = QApplication::focusWidget())
            focused->clearFocus(); // no text cursor in the picture

        const QImage shownImage = grabbed(*edit);
        const QList<int> shown = columnInk(shownImage, shownImage.rect());
        const QImage drawnImage = drawnText(caption, edit->font());
        const QList<int> drawn = columnInk(drawnImage, drawnImage.rect());
        const auto firstInk = [](const QList<int>& columns) {
            return int(std::find_if(columns.begin(), columns.end(), [](int n) { return n > 0; }) - columns.begin());
        };
        const int shownStart = firstInk(shown);
        const int drawnStart = firstInk(drawn);
        QVERIFY(shownStart < shown.size());
        // The caption starts after the line edit's small margin and the
        // leading space, not cut at the edge.
        const QString where = QStringLiteral("first ink at %1, drawn from x=0 at %2").arg(shownStart).arg(drawnStart);
        QVERIFY2(std::abs(shownStart - drawnStart) <= 6, qPrintable(where));
        // And its first letters have the shape of "Pr", column by column.
        const int span = QFontMetrics(edit->font()).horizontalAdvance(QStringLiteral("Pr"));
        int difference = 0;
        int total = 0;
        for (int i = 0; i < span; ++i) {
            const int s = shownStart + i < shown.size() ? shown[shownStart + i] : 0;
            const int d = drawnStart + i < drawn.size() ? drawn[drawnStart + i] : 0;
            difference += std::abs(s - d);
            total += d;
        }
        QVERIFY2(difference * 5 <= total, qPrintable(QStringLiteral("%1 of %2 ink pixels differ; %3")
                                                          .arg(difference).arg(total).arg(where)));
        QVERIFY(rig.shutDown());
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowPixels test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_pixels.moc"
