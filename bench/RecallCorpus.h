#pragma once

// Screenshot-like pictures whose every word is known, for measuring how many of them a
// recogniser finds: interface text at 11–16 px, terminals, dense tables, light and dark
// themes, 1× and 2× scale, English, Arabic and lines that mix both, German and Russian.
// Everything is drawn with DejaVu (fonts-dejavu-core), which also covers Arabic and Cyrillic.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace RecallCorpus {

struct Picture
{
    QString name;
    QImage image;
    QStringList drawn; // every text drawn, as drawn
    // The language its Latin words are in; Arabic and Cyrillic words go by their script.
    QString language = QStringLiteral("English");
};

inline Picture inLanguage(Picture picture, const QString &language)
{
    picture.language = language;
    return picture;
}

struct Theme
{
    bool dark;
    QColor window, sidebar, bar, text, secondary, accent, accentText, line, field;
};

inline Theme lightTheme()
{
    return {false, QColor(250, 250, 252), QColor(238, 239, 243), QColor(228, 229, 234), QColor(28, 28, 30),
            QColor(108, 108, 115), QColor(47, 111, 222), Qt::white, QColor(214, 215, 220), Qt::white};
}

inline Theme darkTheme()
{
    return {true, QColor(30, 31, 35), QColor(38, 39, 45), QColor(46, 47, 54), QColor(230, 230, 235),
            QColor(152, 152, 160), QColor(58, 120, 230), Qt::white, QColor(64, 65, 72), QColor(24, 24, 28)};
}

// A painter in logical pixels that remembers what it wrote.
class Canvas final
{
public:
    Canvas(QSize logical, qreal scale, const QColor &background, Qt::LayoutDirection direction = Qt::LeftToRight)
        : m_image((QSizeF(logical) * scale).toSize(), QImage::Format_RGB32)
    {
        m_image.fill(background);
        m_painter.begin(&m_image);
        m_painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        m_painter.scale(scale, scale);
        m_painter.setLayoutDirection(direction);
    }

    QPainter &painter() { return m_painter; }

    void font(int pixelSize, bool bold = false, bool mono = false)
    {
        QFont f(mono ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("DejaVu Sans"));
        f.setPixelSize(pixelSize);
        f.setBold(bold);
        m_painter.setFont(f);
    }

    // Text in a box, aligned as asked; the box is only for alignment, text is never clipped.
    void text(const QRect &box, const QString &text, const QColor &colour, Qt::Alignment align = Qt::AlignLeft)
    {
        m_painter.setPen(colour);
        m_painter.drawText(box, int(align | Qt::AlignVCenter) | Qt::TextDontClip, text);
        m_drawn.append(text);
    }

    void fill(const QRect &box, const QColor &colour, qreal radius = 0)
    {
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(colour);
        if (radius > 0)
            m_painter.drawRoundedRect(box, radius, radius);
        else
            m_painter.drawRect(box);
    }

    void stroke(const QRect &box, const QColor &colour, qreal radius = 0)
    {
        m_painter.setPen(QPen(colour, 1));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    }

    Picture finish(const QString &name)
    {
        m_painter.end();
        return {name, m_image, m_drawn};
    }

private:
    QImage m_image;
    QPainter m_painter;
    QStringList m_drawn;
};

struct WindowText
{
    QString title;
    QStringList toolbar;
    QString section;
    QStringList sidebar;
    QString heading;
    QStringList paragraph;
    QStringList rows; // list rows: name, then meta text, alternating
    QString status;
};

inline WindowText englishWindow()
{
    return {QStringLiteral("Quarterly planning - Documents"),
            {QStringLiteral("New folder"), QStringLiteral("Share"), QStringLiteral("Export"), QStringLiteral("Delete")},
            QStringLiteral("FAVOURITES"),
            {QStringLiteral("Recent documents"), QStringLiteral("Desktop"), QStringLiteral("Downloads"),
             QStringLiteral("Pictures"), QStringLiteral("Screenshots"), QStringLiteral("Projects"),
             QStringLiteral("Shared with me"), QStringLiteral("Network"), QStringLiteral("Trash")},
            QStringLiteral("Budget review for the third quarter"),
            {QStringLiteral("Please check the travel expenses before Friday and mark anything unusual."),
             QStringLiteral("The marketing team moved the product launch to the second week of October."),
             QStringLiteral("Invoices from the design agency are attached below, together with receipts."),
             QStringLiteral("Contact Maria Lopez if the totals in the spreadsheet look wrong to you.")},
            {QStringLiteral("expenses-september.xlsx"), QStringLiteral("Modified yesterday at 16:42 by Daniel"),
             QStringLiteral("Launch checklist"), QStringLiteral("Shared with marketing, 14 comments"),
             QStringLiteral("Agency invoice 2231.pdf"), QStringLiteral("Received 3 October, paid in full"),
             QStringLiteral("Meeting notes"), QStringLiteral("Written by Priya Nair on Monday morning")},
            QStringLiteral("12 items selected, 248 MB available on this disk")};
}

inline WindowText arabicWindow()
{
    return {QStringLiteral(u"تخطيط الربع الثالث - المستندات"),
            {QStringLiteral(u"مجلد جديد"), QStringLiteral(u"مشاركة"), QStringLiteral(u"تصدير"), QStringLiteral(u"حذف")},
            QStringLiteral(u"المفضلة"),
            {QStringLiteral(u"المستندات الأخيرة"), QStringLiteral(u"سطح المكتب"), QStringLiteral(u"التنزيلات"),
             QStringLiteral(u"الصور"), QStringLiteral(u"لقطات الشاشة"), QStringLiteral(u"المشاريع"),
             QStringLiteral(u"مشتركة معي"), QStringLiteral(u"الشبكة"), QStringLiteral(u"سلة المهملات")},
            QStringLiteral(u"مراجعة الميزانية للربع الثالث"),
            {QStringLiteral(u"يرجى مراجعة مصاريف السفر قبل يوم الجمعة وتحديد أي شيء غير عادي."),
             QStringLiteral(u"نقل فريق التسويق موعد إطلاق المنتج إلى الأسبوع الثاني من أكتوبر."),
             QStringLiteral(u"فواتير وكالة التصميم مرفقة أدناه مع جميع الإيصالات."),
             QStringLiteral(u"تواصل مع مريم إذا كانت المجاميع في الجدول غير صحيحة.")},
            {QStringLiteral(u"مصاريف شهر سبتمبر"), QStringLiteral(u"تم التعديل أمس بواسطة خالد"),
             QStringLiteral(u"قائمة التحقق للإطلاق"), QStringLiteral(u"مشتركة مع التسويق، أربعة عشر تعليقا"),
             QStringLiteral(u"فاتورة الوكالة"), QStringLiteral(u"تم الاستلام والدفع بالكامل"),
             QStringLiteral(u"ملاحظات الاجتماع"), QStringLiteral(u"كتبتها سارة صباح يوم الاثنين")},
            QStringLiteral(u"تم تحديد اثني عشر عنصرا والمساحة المتاحة كافية")};
}

inline WindowText germanWindow()
{
    return {QStringLiteral(u"Quartalsplanung – Dokumente"),
            {QStringLiteral(u"Neuer Ordner"), QStringLiteral(u"Teilen"), QStringLiteral(u"Exportieren"), QStringLiteral(u"Löschen")},
            QStringLiteral(u"FAVORITEN"),
            {QStringLiteral(u"Zuletzt geöffnet"), QStringLiteral(u"Schreibtisch"), QStringLiteral(u"Downloads"),
             QStringLiteral(u"Bilder"), QStringLiteral(u"Bildschirmfotos"), QStringLiteral(u"Projekte"),
             QStringLiteral(u"Für mich freigegeben"), QStringLiteral(u"Netzwerk"), QStringLiteral(u"Papierkorb")},
            QStringLiteral(u"Überprüfung des Budgets für das dritte Quartal"),
            {QStringLiteral(u"Bitte prüfen Sie die Reisekosten vor Freitag und markieren Sie Auffälliges."),
             QStringLiteral(u"Das Marketingteam hat die Markteinführung in die zweite Oktoberwoche verschoben."),
             QStringLiteral(u"Die Rechnungen der Agentur sind unten angehängt, zusammen mit den Quittungen."),
             QStringLiteral(u"Wenden Sie sich an Jürgen Weiß, falls die Summen in der Tabelle nicht stimmen.")},
            {QStringLiteral(u"Ausgaben-September.xlsx"), QStringLiteral(u"Gestern um 16:42 von Günther geändert"),
             QStringLiteral(u"Checkliste für die Einführung"), QStringLiteral(u"Mit dem Marketing geteilt, 14 Kommentare"),
             QStringLiteral(u"Rechnung der Agentur 2231.pdf"), QStringLiteral(u"Am 3. Oktober erhalten, vollständig bezahlt"),
             QStringLiteral(u"Besprechungsnotizen"), QStringLiteral(u"Geschrieben von Käthe Großmann am Montagmorgen")},
            QStringLiteral(u"12 Objekte ausgewählt, 248 MB frei auf diesem Datenträger – Größe prüfen")};
}

inline WindowText russianWindow()
{
    return {QStringLiteral(u"Планирование квартала – Документы"),
            {QStringLiteral(u"Новая папка"), QStringLiteral(u"Поделиться"), QStringLiteral(u"Экспорт"), QStringLiteral(u"Удалить")},
            QStringLiteral(u"ИЗБРАННОЕ"),
            {QStringLiteral(u"Недавние документы"), QStringLiteral(u"Рабочий стол"), QStringLiteral(u"Загрузки"),
             QStringLiteral(u"Изображения"), QStringLiteral(u"Снимки экрана"), QStringLiteral(u"Проекты"),
             QStringLiteral(u"Доступные мне"), QStringLiteral(u"Сеть"), QStringLiteral(u"Корзина")},
            QStringLiteral(u"Обзор бюджета за третий квартал"),
            {QStringLiteral(u"Пожалуйста, проверьте командировочные расходы до пятницы и отметьте всё необычное."),
             QStringLiteral(u"Отдел маркетинга перенёс запуск продукта на вторую неделю октября."),
             QStringLiteral(u"Счета от дизайнерского агентства приложены ниже вместе с квитанциями."),
             QStringLiteral(u"Свяжитесь с Алёной Соколовой, если итоги в таблице покажутся неверными.")},
            {QStringLiteral(u"Расходы за сентябрь.xlsx"), QStringLiteral(u"Изменён вчера в 16:42 пользователем Сергей"),
             QStringLiteral(u"Список задач для запуска"), QStringLiteral(u"Общий доступ с маркетингом, 14 комментариев"),
             QStringLiteral(u"Счёт агентства 2231.pdf"), QStringLiteral(u"Получен 3 октября, оплачен полностью"),
             QStringLiteral(u"Заметки о встрече"), QStringLiteral(u"Написал Пётр Ильин в понедельник утром")},
            QStringLiteral(u"Выбрано 12 объектов, свободно 248 МБ на этом диске, ещё есть место")};
}

// A file-manager-like window: title bar, toolbar buttons, a sidebar with a selected item, a
// heading, a paragraph, a list with secondary lines and a status bar. Right to left mirrors it.
inline Picture window(const QString &name, const WindowText &t, const Theme &theme, qreal scale, bool rtl)
{
    const QSize size(1440, 900);
    Canvas c(size, scale, theme.window, rtl ? Qt::RightToLeft : Qt::LeftToRight);
    // Leading edge: Qt mirrors it for right-to-left text.
    const Qt::Alignment start = Qt::AlignLeft;
    const auto mirrored = [&](QRect r) { return rtl ? QRect(size.width() - r.right() - 1, r.top(), r.width(), r.height()) : r; };

    c.fill(QRect(0, 0, size.width(), 38), theme.bar);
    for (int i = 0; i < 3; ++i)
        c.fill(mirrored(QRect(14 + i * 20, 13, 12, 12)), QColor::fromHsv(i * 40, 150, 230), 6);
    c.font(13, true);
    c.text(QRect(0, 0, size.width(), 38), t.title, theme.text, Qt::AlignHCenter);

    c.fill(QRect(0, 38, size.width(), 46), theme.window);
    c.fill(QRect(0, 83, size.width(), 1), theme.line);
    c.font(12);
    int x = 240;
    for (const QString &label : t.toolbar) {
        const int width = c.painter().fontMetrics().horizontalAdvance(label) + 28;
        const QRect button = mirrored(QRect(x, 47, width, 28));
        c.fill(button, theme.field, 6);
        c.stroke(button, theme.line, 6);
        c.text(button, label, theme.text, Qt::AlignHCenter);
        x += width + 10;
    }

    const QRect sidebar = mirrored(QRect(0, 84, 220, size.height() - 84 - 26));
    c.fill(sidebar, theme.sidebar);
    c.font(11, true);
    c.text(mirrored(QRect(18, 96, 190, 20)), t.section, theme.secondary, start);
    c.font(13);
    for (int i = 0; i < t.sidebar.size(); ++i) {
        const QRect row = mirrored(QRect(8, 122 + i * 30, 204, 26));
        const bool selected = i == 4;
        if (selected)
            c.fill(row, theme.accent, 6);
        c.text(row.adjusted(12, 0, -12, 0), t.sidebar[i], selected ? theme.accentText : theme.text, start);
    }

    const int left = 252, width = size.width() - left - 32;
    c.font(16, true);
    c.text(mirrored(QRect(left, 104, width, 26)), t.heading, theme.text, start);
    c.font(14);
    for (int i = 0; i < t.paragraph.size(); ++i)
        c.text(mirrored(QRect(left, 142 + i * 24, width, 22)), t.paragraph[i], theme.text, start);

    int y = 256;
    for (int i = 0; i + 1 < t.rows.size(); i += 2) {
        const QRect card = mirrored(QRect(left, y, width, 58));
        c.fill(card, theme.field, 8);
        c.stroke(card, theme.line, 8);
        c.fill(mirrored(QRect(left + 14, y + 13, 32, 32)), theme.accent.lighter(theme.dark ? 80 : 160), 6);
        c.font(14, true);
        c.text(mirrored(QRect(left + 60, y + 8, width - 80, 22)), t.rows[i], theme.text, start);
        c.font(12);
        c.text(mirrored(QRect(left + 60, y + 30, width - 80, 20)), t.rows[i + 1], theme.secondary, start);
        y += 70;
    }

    c.fill(QRect(0, size.height() - 26, size.width(), 26), theme.bar);
    c.font(11);
    c.text(mirrored(QRect(12, size.height() - 26, 800, 26)), t.status, theme.secondary, start);
    return c.finish(name);
}

inline Picture terminal(const QString &name, const Theme &theme, qreal scale)
{
    const QStringList lines{
        QStringLiteral("user@workstation:~/projects/gallery$ git status"),
        QStringLiteral("On branch main, your branch is up to date with origin/main."),
        QStringLiteral("Changes not staged for commit:"),
        QStringLiteral("    modified:   src/text/ScreenshotTextIndex.cpp"),
        QStringLiteral("    modified:   src/library/LibraryModel.cpp"),
        QStringLiteral("user@workstation:~/projects/gallery$ ls -l build"),
        QStringLiteral("drwxr-xr-x 2 user user  4096 Mar  3 10:21 CMakeFiles"),
        QStringLiteral("-rw-r--r-- 1 user user 18231 Mar  3 10:21 CMakeCache.txt"),
        QStringLiteral("-rwxr-xr-x 1 user user 912344 Mar 3 10:24 gallery"),
        QStringLiteral("user@workstation:~/projects/gallery$ make -j2"),
        QStringLiteral("[ 12%] Building CXX object src/CMakeFiles/text.dir/Index.cpp.o"),
        QStringLiteral("[ 37%] Linking CXX static library libtext.a"),
        QStringLiteral("[100%] Built target gallery"),
        QStringLiteral("user@workstation:~/projects/gallery$ df -h /home"),
        QStringLiteral("Filesystem      Size  Used Avail Use% Mounted on"),
        QStringLiteral("/dev/nvme0n1p2  468G  201G  244G  46% /home"),
        QStringLiteral("user@workstation:~/projects/gallery$ uptime"),
        QStringLiteral("10:31:07 up 3 days, 2:14, 2 users, load average: 0.42, 0.37, 0.30"),
        QStringLiteral("user@workstation:~/projects/gallery$ journalctl -u backup --since today"),
        QStringLiteral("Mar 03 09:00:01 workstation backup[2211]: starting nightly snapshot"),
        QStringLiteral("Mar 03 09:04:43 workstation backup[2211]: copied 1832 files, skipped 12"),
        QStringLiteral("Mar 03 09:04:44 workstation backup[2211]: snapshot finished without errors"),
        QStringLiteral("user@workstation:~/projects/gallery$ python3 --version"),
        QStringLiteral("Python 3.11.2"),
        QStringLiteral("user@workstation:~/projects/gallery$ echo \"remember the invoice for Friday\""),
        QStringLiteral("remember the invoice for Friday")};
    const QSize size(1280, 800);
    Canvas c(size, scale, theme.dark ? QColor(22, 23, 26) : QColor(253, 253, 250));
    c.fill(QRect(0, 0, size.width(), 32), theme.bar);
    c.font(12, true);
    c.text(QRect(0, 0, size.width(), 32), QStringLiteral("Terminal - user@workstation: ~/projects/gallery"),
           theme.text, Qt::AlignHCenter);
    c.font(13, false, true);
    const QColor prompt = theme.dark ? QColor(120, 220, 140) : QColor(20, 120, 50);
    for (int i = 0; i < lines.size(); ++i) {
        const bool isPrompt = lines[i].startsWith(QLatin1String("user@"));
        c.text(QRect(14, 44 + i * 19, size.width() - 28, 18), lines[i], isPrompt ? prompt : theme.text);
    }
    return c.finish(name);
}

// A spreadsheet: 12 px cells in a grid, a bold header, alternating rows, one selected row.
inline Picture table(const QString &name, const Theme &theme, qreal scale)
{
    const QStringList headers{QStringLiteral("Order"), QStringLiteral("Customer"), QStringLiteral("City"),
                              QStringLiteral("Product"), QStringLiteral("Quantity"), QStringLiteral("Total"),
                              QStringLiteral("Status"), QStringLiteral("Shipped")};
    const QStringList customers{QStringLiteral("Harper"), QStringLiteral("Okafor"), QStringLiteral("Lindqvist"),
                                QStringLiteral("Moreau"), QStringLiteral("Tanaka"), QStringLiteral("Kowalski"),
                                QStringLiteral("Haddad"), QStringLiteral("Fischer")};
    const QStringList cities{QStringLiteral("Leeds"), QStringLiteral("Lagos"), QStringLiteral("Uppsala"),
                             QStringLiteral("Lyon"), QStringLiteral("Osaka"), QStringLiteral("Krakow"),
                             QStringLiteral("Beirut"), QStringLiteral("Bremen"), QStringLiteral("Porto")};
    const QStringList products{QStringLiteral("Desk lamp"), QStringLiteral("Notebook"), QStringLiteral("Monitor arm"),
                               QStringLiteral("Keyboard"), QStringLiteral("Headphones"), QStringLiteral("Webcam"),
                               QStringLiteral("Cable set")};
    const QStringList states{QStringLiteral("Paid"), QStringLiteral("Pending"), QStringLiteral("Refunded"),
                             QStringLiteral("Shipped"), QStringLiteral("Cancelled")};
    const QList<int> widths{80, 120, 100, 130, 80, 90, 100, 110};
    const QSize size(1000, 720);
    Canvas c(size, scale, theme.field);
    const int rowHeight = 22;
    int x0 = 40;
    c.font(12, true);
    c.fill(QRect(0, 20, size.width(), rowHeight), theme.bar);
    for (int col = 0, x = x0; col < headers.size(); x += widths[col], ++col)
        c.text(QRect(x + 6, 20, widths[col] - 12, rowHeight), headers[col], theme.text);
    c.font(12);
    for (int row = 0; row < 28; ++row) {
        const int y = 20 + (row + 1) * rowHeight;
        if (row == 9)
            c.fill(QRect(0, y, size.width(), rowHeight), theme.accent);
        else if (row % 2)
            c.fill(QRect(0, y, size.width(), rowHeight), theme.sidebar);
        const QColor ink = row == 9 ? theme.accentText : theme.text;
        const QStringList cells{QString::number(40117 + row * 13), customers[row % customers.size()],
                                cities[(row * 5) % cities.size()], products[(row * 3) % products.size()],
                                QString::number(1 + (row * 7) % 12), QStringLiteral("%1.%2").arg(19 + row * 37).arg(row * 7 % 100, 2, 10, QLatin1Char('0')),
                                states[(row * 2) % states.size()], QStringLiteral("%1 March").arg(1 + row % 28)};
        for (int col = 0, x = x0; col < cells.size(); x += widths[col], ++col)
            c.text(QRect(x + 6, y, widths[col] - 12, rowHeight), cells[col], ink,
                   col == 4 || col == 5 ? Qt::AlignRight : Qt::AlignLeft);
    }
    c.painter().setPen(theme.line);
    for (int col = 0, x = x0; col <= headers.size(); ++col) {
        c.painter().drawLine(x, 20, x, 20 + 29 * rowHeight);
        if (col < headers.size())
            x += widths[col];
    }
    return c.finish(name);
}

// A conversation in which lines mix English and Arabic, as people write them.
inline Picture chat(const QString &name, const Theme &theme, qreal scale)
{
    const QStringList messages{
        QStringLiteral(u"Hi team, the contract draft is ready for review"),
        QStringLiteral(u"شكرا، سأراجع العقد اليوم"),
        QStringLiteral(u"الاجتماع مع client يوم الأحد في الساعة 10"),
        QStringLiteral(u"Please upload report.pdf إلى المجلد المشترك"),
        QStringLiteral(u"تم رفع الملف بنجاح"),
        QStringLiteral(u"Great, I will send the invoice tomorrow morning"),
        QStringLiteral(u"هل يمكنك إرسال نسخة إلى Ahmed أيضا؟"),
        QStringLiteral(u"Sure, and the budget summary مع الملاحظات"),
        QStringLiteral(u"ممتاز، نراكم في الاجتماع")};
    const QSize size(1000, 720);
    Canvas c(size, scale, theme.window);
    c.fill(QRect(0, 0, size.width(), 50), theme.bar);
    c.font(15, true);
    c.text(QRect(20, 0, 600, 50), QStringLiteral("Project Atlas"), theme.text);
    c.font(14);
    for (int i = 0; i < messages.size(); ++i) {
        const bool mine = i % 2 == 1;
        const int width = c.painter().fontMetrics().horizontalAdvance(messages[i]) + 32;
        const QRect bubble(mine ? size.width() - 24 - width : 24, 70 + i * 70, width, 44);
        c.fill(bubble, mine ? theme.accent : theme.sidebar, 14);
        c.text(bubble.adjusted(16, 0, -16, 0), messages[i], mine ? theme.accentText : theme.text, Qt::AlignHCenter);
    }
    return c.finish(name);
}

// A page of English with Arabic lines among its paragraphs.
inline Picture document(const QString &name, const Theme &theme, qreal scale)
{
    const QStringList lines{
        QStringLiteral("Travel policy for the regional offices"),
        QStringLiteral("Employees book flights through the company portal at least two weeks ahead."),
        QStringLiteral("Hotel costs are covered up to the limit shown for each city."),
        QStringLiteral(u"سياسة السفر للمكاتب الإقليمية"),
        QStringLiteral(u"يحجز الموظفون الرحلات عبر بوابة الشركة قبل أسبوعين على الأقل."),
        QStringLiteral("Receipts must be uploaded within thirty days of returning."),
        QStringLiteral(u"يجب رفع الإيصالات خلال ثلاثين يوما من العودة."),
        QStringLiteral("Questions go to the finance office in Dubai or London."),
        QStringLiteral(u"ترسل الأسئلة إلى المكتب المالي في دبي أو لندن."),
        QStringLiteral("Last updated on 4 March by the operations team.")};
    const QSize size(1100, 640);
    Canvas c(size, scale, theme.window);
    int y = 40;
    for (int i = 0; i < lines.size(); ++i) {
        const bool arabic = lines[i].at(0).script() == QChar::Script_Arabic;
        c.font(i == 0 || i == 3 ? 18 : 15, i == 0 || i == 3);
        c.text(QRect(60, y, size.width() - 120, 30), lines[i], theme.text, arabic ? Qt::AlignRight : Qt::AlignLeft);
        y += i == 2 || i == 7 ? 66 : 48;
    }
    return c.finish(name);
}

// A scrolling capture of a long page: lines of 28-px text spread down its whole length, far
// apart as the paragraphs of a long article with pictures between them. 16 bits a pixel, so
// that a 2560 × 20000 picture costs 100 MB while the corpus is made.
inline Picture scrollingCapture(const QString &name, QSize size, int pixelSize)
{
    const QStringList lines{
        QStringLiteral("Release notes for the spring update of the gallery"),
        QStringLiteral("Pinned screenshots now stay at the top of every list"),
        QStringLiteral(u"تظهر لقطات الشاشة المثبتة في أعلى القائمة"),
        QStringLiteral("Search finds words inside pictures in both languages"),
        QStringLiteral("The floating button remembers the screen it was on"),
        QStringLiteral("Dragging a picture into a mail keeps its original name"),
        QStringLiteral(u"يمكن البحث عن الكلمات داخل الصور باللغتين"),
        QStringLiteral("Deleted screenshots can be restored within ten seconds"),
        QStringLiteral("Long captures are read from the first line to the last"),
        QStringLiteral("Thanks to everyone who reported problems this winter")};
    QImage image(size, QImage::Format_RGB16);
    image.fill(QColor(250, 250, 252));
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(QColor(28, 28, 30));
    const int spacing = size.height() / int(lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        const int y = spacing / 3 + i * spacing;
        // A picture between paragraphs, as a long page has.
        painter.fillRect(QRect(120, y + spacing / 3, size.width() - 240, spacing / 3), QColor(214, 224, 238));
        const bool arabic = lines[i].at(0).script() == QChar::Script_Arabic;
        painter.drawText(QRect(120, y, size.width() - 240, pixelSize * 2),
                         int(arabic ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, lines[i]);
    }
    painter.end();
    return {name, image, lines};
}

// Text at presentation sizes, shown at twice its size: so large that its strokes are thicker
// than the details of interface text.
inline Picture largeText(const QString &name, const Theme &theme, qreal scale)
{
    const QSize size(1000, 560);
    Canvas c(size, scale, theme.window);
    c.font(40, true);
    c.text(QRect(60, 40, 880, 70), QStringLiteral("Welcome to the annual meeting"), theme.text);
    c.font(48);
    c.text(QRect(60, 150, 880, 80), QStringLiteral(u"مرحبا بالعالم"), theme.text, Qt::AlignRight);
    c.font(36);
    c.text(QRect(60, 260, 880, 60), QStringLiteral("Agenda and budget for next year"), theme.text);
    c.text(QRect(60, 360, 880, 60), QStringLiteral(u"جدول الأعمال والميزانية"), theme.text, Qt::AlignRight);
    c.font(28);
    c.text(QRect(60, 460, 880, 50), QStringLiteral("Questions are welcome at the end"), theme.secondary);
    return c.finish(name);
}

inline std::vector<Picture> pictures()
{
    const Theme light = lightTheme(), dark = darkTheme();
    return {window(QStringLiteral("ui-light-1x"), englishWindow(), light, 1, false),
            window(QStringLiteral("ui-dark-1x"), englishWindow(), dark, 1, false),
            window(QStringLiteral("ui-light-2x"), englishWindow(), light, 2, false),
            window(QStringLiteral("ui-dark-2x"), englishWindow(), dark, 2, false),
            terminal(QStringLiteral("terminal-dark-1x"), dark, 1),
            terminal(QStringLiteral("terminal-light-2x"), light, 2),
            table(QStringLiteral("table-light-1x"), light, 1),
            table(QStringLiteral("table-dark-2x"), dark, 2),
            window(QStringLiteral("arabic-ui-light-1x"), arabicWindow(), light, 1, true),
            window(QStringLiteral("arabic-ui-dark-1x"), arabicWindow(), dark, 1, true),
            window(QStringLiteral("arabic-ui-light-2x"), arabicWindow(), light, 2, true),
            chat(QStringLiteral("mixed-chat-light-1x"), light, 1),
            chat(QStringLiteral("mixed-chat-dark-2x"), dark, 2),
            inLanguage(window(QStringLiteral("german-ui-light-1x"), germanWindow(), light, 1, false), QStringLiteral("German")),
            inLanguage(window(QStringLiteral("german-ui-dark-2x"), germanWindow(), dark, 2, false), QStringLiteral("German")),
            inLanguage(window(QStringLiteral("russian-ui-light-1x"), russianWindow(), light, 1, false), QStringLiteral("Russian")),
            inLanguage(window(QStringLiteral("russian-ui-dark-2x"), russianWindow(), dark, 2, false), QStringLiteral("Russian")),
            document(QStringLiteral("arabic-among-english-1x"), light, 1),
            document(QStringLiteral("arabic-among-english-dark-1x"), dark, 1),
            largeText(QStringLiteral("large-text-light-2x"), light, 2),
            largeText(QStringLiteral("large-text-dark-1x"), dark, 1),
            scrollingCapture(QStringLiteral("scrolling-capture-2560x20000"), QSize(2560, 20000), 28),
            scrollingCapture(QStringLiteral("scrolling-capture-1920x8000"), QSize(1920, 8000), 21)};
}

} // namespace RecallCorpus
