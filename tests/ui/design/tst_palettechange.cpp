#include "ui/design/BrimfoldDesign.h"
#include "ui/gallery/GalleryEmptyState.h"
#include "ui/gallery/GalleryFooter.h"
#include "ui/gallery/GalleryLabels.h"
#include "ui/gallery/GallerySearchField.h"
#include "ui/design/StatusDot.h"
#include "ui/design/SymbolView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <functional>

using Observed = std::function<QColor()>;
using Expected = std::function<QColor(const QPalette &)>;
Q_DECLARE_METATYPE(Observed)
Q_DECLARE_METATYPE(Expected)

namespace {

QPalette appearance(bool dark)
{
    QPalette palette(dark ? QColor(30, 30, 32) : QColor(242, 242, 244));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, dark ? QColor(245, 245, 245) : QColor(10, 10, 10));
    return palette;
}

// A tinted symbol's ink: its most opaque pixel, made opaque.
QColor symbolInk(QWidget *widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), {});
    QColor ink(Qt::transparent);
    for (int i = 0; i < image.width() * image.height(); ++i) {
        const QColor c = image.pixelColor(i % image.width(), i / image.width());
        if (c.alpha() > ink.alpha())
            ink = c;
    }
    ink.setAlpha(255);
    return ink;
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue())
        + qAbs(a.alpha() - b.alpha()) <= 8;
}

} // namespace

class TestPaletteChange : public QObject
{
    Q_OBJECT

private slots:
    void init() { QApplication::setPalette(appearance(false)); }

    void followsAnAppearanceChange_data()
    {
        QTest::addColumn<Observed>("observed");
        QTest::addColumn<Expected>("expected");
        const auto ink = [](QLabel *label) {
            return Observed([label] { return label->palette().color(QPalette::WindowText); });
        };
        const auto make = [this](GalleryLabels::Tone tone) {
            return GalleryLabels::make(QStringLiteral("Text"), 12, QFont::Normal, tone, &m_root);
        };
        const Expected primary = [](const QPalette &p) { return BrimfoldDesign::primary(p); };
        const Expected accent = [](const QPalette &) { return BrimfoldDesign::accent(); };
        QTest::newRow("primary label") << ink(make(GalleryLabels::Tone::primary)) << primary;
        QTest::newRow("accent label") << ink(make(GalleryLabels::Tone::accent)) << accent;
        // One keeper per label: the first tone must not come back.
        QLabel *retoned = make(GalleryLabels::Tone::primary);
        GalleryLabels::setTone(retoned, GalleryLabels::Tone::secondary);
        QTest::newRow("label toned again") << ink(retoned) << Expected(&BrimfoldDesign::secondary);

        auto *field = new GallerySearchField(&m_root);
        QTest::newRow("search placeholder") << Observed([field] {
            return field->lineEdit()->palette().color(QPalette::PlaceholderText);
        }) << Expected(&BrimfoldDesign::tertiary);
        auto *empty = new GalleryEmptyState(&m_root);
        GalleryEmptyState::Content content;
        content.symbol = QStringLiteral("photo");
        empty->setContent(content);
        QTest::newRow("empty state symbol")
            << Observed([empty] { return symbolInk(empty->symbolView()); })
            << primary;
        auto *footer = new GalleryFooter(&m_root);
        QTest::newRow("footer idle dot") << Observed([footer] { return footer->folderDot()->colour(); })
                                         << Expected(&BrimfoldDesign::secondary);
    }

    void followsAnAppearanceChange()
    {
        QFETCH(Observed, observed);
        QFETCH(Expected, expected);
        QTRY_VERIFY2(near(observed(), expected(appearance(false))),
                     qPrintable(observed().name(QColor::HexArgb)));
        // Widgets hear of a new application palette through the event loop.
        QApplication::setPalette(appearance(true));
        QTRY_VERIFY2(near(observed(), expected(appearance(true))),
                     qPrintable(observed().name(QColor::HexArgb)));
    }

private:
    QWidget m_root;
};

QTEST_MAIN(TestPaletteChange)
#include "tst_palettechange.moc"
