#include "DrawnScenes.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

void windowChrome(QPainter &p, const QRect &r, const QColor &bar, const QString &title, bool dark)
{
    p.fillRect(r, dark ? QColor(30, 31, 36) : QColor(250, 250, 252));
    p.fillRect(QRect(r.left(), r.top(), r.width(), 44), bar);
    p.setPen(dark ? QColor(210, 210, 220) : QColor(60, 60, 70));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(16);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(r.left(), r.top(), r.width(), 44), Qt::AlignCenter, title);
    const QColor dots[] = {QColor(237, 106, 94), QColor(245, 191, 79), QColor(98, 197, 84)};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(dots[i]);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPoint(r.left() + 22 + i * 22, r.top() + 22), 7, 7);
    }
}

QImage terminal(const QStringList &lines)
{
    QImage image(1280, 800, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    windowChrome(p, image.rect(), QColor(44, 45, 52), QStringLiteral("Terminal — zsh"), true);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(19);
    p.setFont(mono);
    int y = 86;
    for (const QString &line : lines) {
        p.setPen(line.startsWith(QLatin1Char('$')) ? QColor(120, 220, 140)
                 : line.contains(QStringLiteral("error")) ? QColor(240, 110, 100)
                                                          : QColor(215, 218, 225));
        p.drawText(24, y, line);
        y += 30;
    }
    return image;
}

QImage editor(const QString &file, const QStringList &code)
{
    QImage image(1440, 900, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    windowChrome(p, image.rect(), QColor(37, 38, 46), file, true);
    p.fillRect(QRect(0, 44, 240, 856), QColor(26, 27, 33));
    QFont ui(QStringLiteral("DejaVu Sans"));
    ui.setPixelSize(15);
    p.setFont(ui);
    p.setPen(QColor(150, 155, 170));
    const char *files[] = {"src", "  main.cpp", "  gallery.cpp", "  model.cpp", "tests", "README.md"};
    for (int i = 0; i < 6; ++i)
        p.drawText(20, 84 + i * 28, QString::fromLatin1(files[i]));
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(18);
    p.setFont(mono);
    const QColor palette[] = {QColor(198, 120, 221), QColor(97, 175, 239), QColor(152, 195, 121),
                              QColor(229, 192, 123), QColor(171, 178, 191)};
    for (int i = 0; i < code.size(); ++i) {
        p.setPen(QColor(90, 95, 110));
        p.drawText(262, 90 + i * 30, QString::number(i + 1).rightJustified(3));
        p.setPen(palette[(i * 3 + code.at(i).size()) % 5]);
        p.drawText(320, 90 + i * 30, code.at(i));
    }
    return image;
}

QImage document(const QString &title, const QColor &accent, const QStringList &paragraphs,
                bool table = false)
{
    QImage image(1280, 820, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    windowChrome(p, image.rect(), QColor(236, 236, 240), title, false);
    p.fillRect(QRect(0, 44, 1280, 64), accent);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(28);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(40, 88, title);
    f.setPixelSize(19);
    f.setBold(false);
    p.setFont(f);
    p.setPen(QColor(50, 52, 60));
    int y = 160;
    for (const QString &para : paragraphs) {
        p.drawText(QRect(60, y, 1160, 60), Qt::TextWordWrap, para);
        y += 64;
    }
    if (table) {
        for (int r = 0; r < 6; ++r) {
            p.fillRect(QRect(60, y + r * 44, 1160, 42), r == 0 ? QColor(232, 234, 242)
                                                             : r % 2 ? Qt::white
                                                                     : QColor(247, 248, 251));
            p.drawText(80, y + r * 44 + 28, r == 0 ? QStringLiteral("Item") : QStringLiteral("Line %1").arg(r));
            p.drawText(900, y + r * 44 + 28, r == 0 ? QStringLiteral("Amount") : QStringLiteral("€ %1.00").arg(r * 37));
        }
    }
    return image;
}

QImage chat()
{
    QImage image(1200, 860, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    windowChrome(p, image.rect(), QColor(240, 240, 245), QStringLiteral("Team chat — #design"), false);
    p.fillRect(QRect(0, 44, 260, 816), QColor(63, 45, 92));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(17);
    p.setFont(f);
    p.setPen(QColor(230, 220, 245));
    for (int i = 0; i < 7; ++i)
        p.drawText(24, 96 + i * 36, QStringLiteral("# channel-%1").arg(i + 1));
    const QStringList msgs = {QStringLiteral("Can you send the screenshot of the new gallery?"),
                              QStringLiteral("Sure, copying it now — one sec"),
                              QStringLiteral("Looks great. Ship it on Friday?"),
                              QStringLiteral("Friday works. I'll update the release notes.")};
    int y = 110;
    for (int i = 0; i < msgs.size(); ++i) {
        const bool mine = i % 2;
        const QRect bubble(mine ? 620 : 300, y, 540, 64);
        QPainterPath path;
        path.addRoundedRect(bubble, 18, 18);
        p.fillPath(path, mine ? QColor(97, 97, 232) : QColor(232, 232, 240));
        p.setPen(mine ? Qt::white : QColor(40, 40, 50));
        p.drawText(bubble.adjusted(18, 0, -18, 0), Qt::AlignVCenter | Qt::TextWordWrap, msgs.at(i));
        y += 100;
    }
    return image;
}

QImage dialog()
{
    QImage image(1100, 760, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 1100, 760);
    g.setColorAt(0, QColor(255, 170, 120));
    g.setColorAt(1, QColor(120, 90, 220));
    p.fillRect(image.rect(), g);
    const QRect box(250, 200, 600, 330);
    QPainterPath path;
    path.addRoundedRect(box, 22, 22);
    p.fillPath(path, QColor(252, 252, 255));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(24);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(30, 30, 40));
    p.drawText(box.adjusted(40, 40, -40, 0), QStringLiteral("Software Update"));
    f.setPixelSize(18);
    f.setBold(false);
    p.setFont(f);
    p.drawText(box.adjusted(40, 100, -40, -80), Qt::TextWordWrap,
               QStringLiteral("A new version is available. Restart now to finish installing the update?"));
    QPainterPath button;
    button.addRoundedRect(QRectF(box.right() - 200, box.bottom() - 76, 160, 44), 12, 12);
    p.fillPath(button, QColor(97, 97, 232));
    return image;
}

QImage chart()
{
    QImage image(1280, 800, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    windowChrome(p, image.rect(), QColor(236, 236, 240), QStringLiteral("Analytics — Weekly visitors"), false);
    const int values[] = {320, 410, 380, 520, 610, 560, 700, 660, 740, 690, 810, 880};
    for (int i = 0; i < 12; ++i) {
        const QRect bar(100 + i * 92, 720 - values[i] * 3 / 4, 60, values[i] * 3 / 4);
        QPainterPath path;
        path.addRoundedRect(bar, 8, 8);
        p.fillPath(path, QColor::fromHsv(240 - i * 6, 150, 230));
    }
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(22);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(40, 40, 50));
    p.drawText(100, 100, QStringLiteral("Visitors up 18% this quarter"));
    return image;
}

} // namespace

namespace DrawnScreenshots {

QList<Shot> shots()
{
    return {
        {QStringLiteral("Screenshot 01 build log.png"),
         terminal({QStringLiteral("$ cmake --build build -j2"), QStringLiteral("[ 48%] Building CXX object gallery.cpp.o"),
                   QStringLiteral("[ 96%] Linking CXX static library libbrimfold_ui.a"), QStringLiteral("[100%] Built target brimfold"),
                   QStringLiteral("$ ctest --output-on-failure"), QStringLiteral("100% tests passed, 0 tests failed out of 42")}),
         QStringLiteral("cmake build\n100% tests passed, 0 tests failed out of 42")},
        {QStringLiteral("Screenshot 02 invoice.png"),
         document(QStringLiteral("Invoice #2024-118"), QColor(52, 120, 246),
                  {QStringLiteral("Billed to: Northwind Studio, 14 Harbour Street"),
                   QStringLiteral("Due date: 30 June · Payment by bank transfer")}, true),
         QStringLiteral("Invoice #2024-118\nInvoice total due 30 June: € 555.00")},
        {QStringLiteral("Screenshot 03 editor.png"),
         editor(QStringLiteral("gallery.cpp — Editor"),
                {QStringLiteral("#include \"GalleryView.h\""), QString(), QStringLiteral("void GalleryView::render()"),
                 QStringLiteral("{"), QStringLiteral("    const bool welcome = !prefs.hasFolder();"),
                 QStringLiteral("    body->setCurrentWidget(welcome ? intro : main);"), QStringLiteral("    renderFooter();"),
                 QStringLiteral("}")}),
         QStringLiteral("void GalleryView::render()")},
        {QStringLiteral("Screenshot 04 chat.png"), chat(),
         QStringLiteral("Can you send the screenshot of the new gallery?")},
        {QStringLiteral("Screenshot 05 update.png"), dialog(),
         QStringLiteral("Software Update\nA new version is available.")},
        {QStringLiteral("Screenshot 06 chart.png"), chart(),
         QStringLiteral("Visitors up 18% this quarter")},
        {QStringLiteral("Screenshot 07 receipt.png"),
         document(QStringLiteral("Receipt — Café Lumen"), QColor(46, 160, 110),
                  {QStringLiteral("2 × Flat white, 1 × Almond croissant"),
                   QStringLiteral("Paid by card · Thank you for visiting!")}, true),
         QStringLiteral("Receipt Café Lumen\nAttach this receipt to the invoice")},
        {QStringLiteral("Screenshot 08 error.png"),
         terminal({QStringLiteral("$ ./scripts/test"), QStringLiteral("tst_galleryview: PASS   (21 tests)"),
                   QStringLiteral("tst_render: error: BRIMFOLD_RENDER_DIR not set"), QStringLiteral("$ export BRIMFOLD_RENDER_DIR=/tmp/r")}),
         QStringLiteral("error: BRIMFOLD_RENDER_DIR not set")},
        {QStringLiteral("Screenshot 09 article.png"),
         document(QStringLiteral("Notes — Keeping screenshots tidy"), QColor(230, 110, 70),
                  {QStringLiteral("Screenshots pile up fast. A small gallery keeps them one shortcut away."),
                   QStringLiteral("Pin the ones you need again; the rest quietly scroll away."),
                   QStringLiteral("Search reads the text inside every image, on this computer.")}),
         QStringLiteral("Keeping screenshots tidy")},
        {QStringLiteral("Screenshot 10 settings.png"),
         editor(QStringLiteral("settings.json — Editor"),
                {QStringLiteral("{"), QStringLiteral("  \"showFloatingButton\": true,"),
                 QStringLiteral("  \"buttonSize\": \"standard\","), QStringLiteral("  \"appearance\": \"system\""),
                 QStringLiteral("}")}),
         QStringLiteral("showFloatingButton true")},
        {QStringLiteral("Screenshot 11 flight.png"),
         document(QStringLiteral("Boarding pass"), QColor(110, 90, 220),
                  {QStringLiteral("LIS → AMS · Flight BF 482 · Gate 14"),
                   QStringLiteral("Boarding 09:40 · Seat 12A")}),
         QStringLiteral("Boarding pass LIS AMS Gate 14\ninvoice number BF-482 for expenses")},
        {QStringLiteral("Screenshot 12 chat.png"), chat(),
         QStringLiteral("Friday works. I'll update the release notes.")},
    };
}

} // namespace DrawnScreenshots
