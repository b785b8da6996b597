#include "FakeUrlOpener.h"
#include "FakeClipboard.h"

#include "platform/UrlOpener.h"
#include "settings/ReleaseConfiguration.h"
#include "settings/ReleaseInfo.h"
#include "ui/design/AppearancePalette.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/feedback/FeedbackView.h"
#include "ui/controls/SegmentedControl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSysInfo>
#include <QTest>
#include <QUrlQuery>

namespace {

const QString kAddress = QStringLiteral("beta.team+brimfold@mail.example.org");
const QString kProblem = QStringLiteral("Report a problem");
const QString kImprovement = QStringLiteral("Suggest an improvement");

ReleaseConfiguration withAddress(const std::optional<QString> &address = kAddress)
{
    return ReleaseConfiguration(std::nullopt, std::nullopt, address);
}

// A view as its window shows it, so visibility can be read as the user sees it.
struct Window
{
    explicit Window(const ReleaseConfiguration &configuration = withAddress())
        : view(clipboard, urls, configuration)
    {
        view.show();
    }

    void type(const QString &text) { view.detailsEditor()->setPlainText(text); }

    FakeClipboard clipboard;
    FakeUrlOpener urls;
    FeedbackView view;
};

QString header(const QString &category)
{
    return QStringLiteral("Brimfold ") + ReleaseInfo::displayVersion() + QStringLiteral("\n")
        + category + QStringLiteral("\n\n");
}

QString systemLine()
{
    return QSysInfo::prettyProductName() + QStringLiteral(" · ") + QSysInfo::currentCpuArchitecture();
}

} // namespace

class TestFeedbackView : public QObject
{
    Q_OBJECT

private slots:
    void startsEmpty()
    {
        Window w;
        QCOMPARE(w.view.category(), kProblem);
        QVERIFY(w.view.includeSystem());
        QVERIFY(w.view.systemLineLabel()->isVisible());
        QCOMPARE(w.view.systemLineLabel()->text(), systemLine());
        QCOMPARE(w.view.status(), std::nullopt);
        QVERIFY(!w.view.statusLabel()->isVisible());
        QCOMPARE(w.view.detailsEditor()->accessibleName(), QStringLiteral("Feedback details"));
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        QCOMPARE(QApplication::focusWidget(), w.view.detailsEditor());
    }

    void report_data()
    {
        QTest::addColumn<int>("category");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("includeSystem");
        // Where the system line is turned off: the switch, or the title beside it.
        QTest::addColumn<bool>("byTitle");
        QTest::addColumn<QString>("expected");

        QTest::newRow("problem, system line")
            << 0 << QStringLiteral("Gallery froze.") << true << false
            << header(kProblem) + QStringLiteral("Gallery froze.\n\n") + systemLine();
        QTest::newRow("system line off: ends with the details")
            << 0 << QStringLiteral("Gallery froze.") << false << false
            << header(kProblem) + QStringLiteral("Gallery froze.");
        QTest::newRow("system line off by its title")
            << 0 << QStringLiteral("Gallery froze.") << false << true
            << header(kProblem) + QStringLiteral("Gallery froze.");
        QTest::newRow("trimmed at both ends, inner lines kept")
            << 1 << QStringLiteral(" \n\t Bigger tiles.\n\nAnd a dark mode. \n\n ") << false << false
            << header(kImprovement) + QStringLiteral("Bigger tiles.\n\nAnd a dark mode.");
        QTest::newRow("improvement, system line")
            << 1 << QStringLiteral("Bigger tiles.\n") << true << false
            << header(kImprovement) + QStringLiteral("Bigger tiles.\n\n") + systemLine();
    }

    void report()
    {
        QFETCH(int, category);
        QFETCH(QString, typed);
        QFETCH(bool, includeSystem);
        QFETCH(bool, byTitle);
        QFETCH(QString, expected);

        Window w;
        w.view.categoryPicker()->segment(category)->click();
        w.type(typed);
        QWidget *target = w.view.systemToggle();
        if (byTitle) {
            const QString title = w.view.systemToggle()->accessibleName();
            QCOMPARE(title, QStringLiteral("Include system version and architecture"));
            const auto labels = w.view.findChildren<QLabel *>();
            const auto found = std::find_if(labels.begin(), labels.end(),
                                            [&](const QLabel *label) { return label->text() == title; });
            QVERIFY(found != labels.end());
            target = *found;
        }
        if (!includeSystem)
            QTest::mouseClick(target, Qt::LeftButton);
        QCOMPARE(w.view.includeSystem(), includeSystem);
        // The line under the toggle is shown exactly while it goes into the report.
        QCOMPARE(w.view.systemLineLabel()->isVisible(), includeSystem);
        QCOMPARE(w.view.report(), expected);
        QVERIFY(!w.view.report().endsWith(QLatin1Char('\n')));
    }

    void blankDetailsDisableBothButtons_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("spaces") << QStringLiteral("    ") << false;
        QTest::newRow("newlines") << QStringLiteral("\n\n\n") << false;
        QTest::newRow("spaces, tabs and newlines") << QStringLiteral(" \t\n \r\n ") << false;
        QTest::newRow("no-break space") << QStringLiteral("\u00a0\u2003") << false;
        QTest::newRow("one character among blanks") << QStringLiteral("\n x \n") << true;
    }

    void blankDetailsDisableBothButtons()
    {
        QFETCH(QString, typed);
        QFETCH(bool, enabled);

        Window w;
        QVERIFY(w.view.emailButton());
        w.type(QStringLiteral("something first"));
        w.type(typed);
        QCOMPARE(w.view.hasDetails(), enabled);
        QCOMPARE(w.view.copyButton()->isEnabled(), enabled);
        QCOMPARE(w.view.emailButton()->isEnabled(), enabled);

        // A press on a disabled button does nothing at all.
        QTest::mouseClick(w.view.copyButton(), Qt::LeftButton);
        QTest::mouseClick(w.view.emailButton(), Qt::LeftButton);
        QCOMPARE(w.clipboard.writeCount, enabled ? 1 : 0);
        QCOMPARE(w.urls.opened.size(), enabled ? 1 : 0);
    }

    void placeholderFollowsCategoryWhileEmpty()
    {
        const QString problemHint = QStringLiteral("What happened, and what did you expect?");
        const QString improvementHint = QStringLiteral("What would make your screenshot workflow easier?");
        Window w;
        QLabel *placeholder = w.view.placeholderLabel();
        QVERIFY(placeholder->isVisible());
        QCOMPARE(placeholder->text(), problemHint);

        w.view.categoryPicker()->segment(1)->click();
        QCOMPARE(w.view.category(), kImprovement);
        QCOMPARE(placeholder->text(), improvementHint);
        QVERIFY(placeholder->isVisible());

        QTest::keyClicks(w.view.detailsEditor(), QStringLiteral("a"));
        QVERIFY(!placeholder->isVisible());
        w.view.categoryPicker()->segment(0)->click();
        QVERIFY(!placeholder->isVisible());

        // White space is text too: the hint stays away until the editor is truly empty.
        w.type(QString());
        QTest::keyClick(w.view.detailsEditor(), Qt::Key_Space);
        QVERIFY(!placeholder->isVisible());
        QTest::keyClick(w.view.detailsEditor(), Qt::Key_Backspace);
        QVERIFY(placeholder->isVisible());
        QCOMPARE(placeholder->text(), problemHint);
    }

    void arrowKeysMoveTheCategory()
    {
        Window w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        SegmentedControl *picker = w.view.categoryPicker();
        picker->segment(0)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(w.view.category(), kImprovement);
        QVERIFY(picker->segment(1)->isChecked());
        QVERIFY(!picker->segment(0)->isChecked());
        // The placeholder follows a choice made with the keys as it does a click.
        QCOMPARE(w.view.placeholderLabel()->text(),
                 QStringLiteral("What would make your screenshot workflow easier?"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(w.view.category(), kImprovement);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
        QCOMPARE(w.view.category(), kProblem);
    }

    void withoutAddressTheDraftButtonIsAbsent_data()
    {
        QTest::addColumn<std::optional<QString>>("address");
        QTest::newRow("none configured") << std::optional<QString>();
        QTest::newRow("invalid: no dot in the domain") << std::optional<QString>(QStringLiteral("beta@localhost"));
    }

    void withoutAddressTheDraftButtonIsAbsent()
    {
        QFETCH(std::optional<QString>, address);
        Window w(withAddress(address));
        w.type(QStringLiteral("Details"));
        QCOMPARE(w.view.emailButton(), nullptr);
        for (const QAbstractButton *button : w.view.findChildren<QAbstractButton *>())
            QVERIFY2(button->text() != QStringLiteral("Open email draft"), "draft button exists");
        QCOMPARE(w.view.deliveryNote()->text(),
                 QStringLiteral("Copy your feedback and share it with the person who invited you to "
                                "the beta."));
        QVERIFY(w.view.copyButton()->isEnabled());
    }

    void draftCarriesAddressSubjectAndReport_data()
    {
        QTest::addColumn<int>("category");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("status");
        QTest::newRow("opened") << 0 << true << QStringLiteral("Draft opened in your email app.");
        QTest::newRow("no mail program") << 1 << false
                                         << QStringLiteral("No email app available. Use Copy feedback.");
    }

    void draftCarriesAddressSubjectAndReport()
    {
        QFETCH(int, category);
        QFETCH(bool, opens);
        QFETCH(QString, status);

        Window w;
        QCOMPARE(w.view.deliveryNote()->text(),
                 QStringLiteral("Draft addressed to ") + kAddress
                     + QStringLiteral(". You review and send it in your email app."));
        w.urls.accepts = opens;
        w.view.categoryPicker()->segment(category)->click();
        // Characters that mean something in a URL must come back as typed.
        w.type(QStringLiteral("Tiles & pins: 100% broken?\n#2 a+b=c; see https://x.example/?q=1"));
        QTest::mouseClick(w.view.emailButton(), Qt::LeftButton);

        QCOMPARE(w.urls.opened.size(), 1);
        const QUrl draft = w.urls.opened.first();
        QCOMPARE(draft.scheme(), QStringLiteral("mailto"));
        QCOMPARE(draft.path(), kAddress);
        const QUrlQuery query(draft);
        const auto items = query.queryItems(QUrl::FullyDecoded);
        QCOMPARE(items.size(), 2);
        QCOMPARE(items.at(0).first, QStringLiteral("subject"));
        QCOMPARE(items.at(0).second, QStringLiteral("Brimfold beta: ") + FeedbackView::categories().at(category));
        QCOMPARE(items.at(1).first, QStringLiteral("body"));
        QCOMPARE(items.at(1).second, w.view.report());
        QVERIFY(items.at(1).second.contains(QStringLiteral("a+b=c")));

        QCOMPARE(w.view.status(), std::optional<QString>(status));
        QVERIFY(w.view.statusLabel()->isVisible());
        QCOMPARE(w.view.statusLabel()->text(), status);
        QCOMPARE(w.clipboard.writeCount, 0);
    }

    void copyReportsTheClipboardOutcome_data()
    {
        QTest::addColumn<bool>("accepts");
        QTest::addColumn<QString>("status");
        QTest::newRow("written") << true << QStringLiteral("Copied. Ready to share.");
        QTest::newRow("refused") << false << QStringLiteral("Couldn’t copy. Try again.");
    }

    void copyReportsTheClipboardOutcome()
    {
        QFETCH(bool, accepts);
        QFETCH(QString, status);

        Window w(withAddress(std::nullopt));
        w.clipboard.accepts = accepts;
        w.type(QStringLiteral("Search misses Arabic words."));
        QTest::mouseClick(w.view.copyButton(), Qt::LeftButton);

        QCOMPARE(w.clipboard.writeCount, 1);
        QCOMPARE(w.clipboard.text, accepts ? std::optional<QString>(w.view.report()) : std::nullopt);
        QCOMPARE(w.view.status(), std::optional<QString>(status));
        QCOMPARE(w.view.statusLabel()->text(), status);
        QVERIFY(w.view.statusLabel()->isVisible());
        QVERIFY(w.urls.opened.isEmpty());

        // A later outcome replaces the line.
        w.clipboard.accepts = !accepts;
        QTest::mouseClick(w.view.copyButton(), Qt::LeftButton);
        QVERIFY(w.view.status() != std::optional<QString>(status));
    }

    // The status speaks of the report that was copied; a different report makes it stale.
    void changingTheReportClearsTheStatus_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("details cleared") << 0;
        QTest::newRow("details edited") << 1;
        QTest::newRow("category") << 2;
        QTest::newRow("system line") << 3;
    }

    void changingTheReportClearsTheStatus()
    {
        QFETCH(int, change);
        Window w;
        w.type(QStringLiteral("Search misses Arabic words."));
        QTest::mouseClick(w.view.copyButton(), Qt::LeftButton);
        QVERIFY(w.view.status());
        QVERIFY(w.view.statusLabel()->isVisible());

        switch (change) {
        case 0: w.type(QString()); break;
        case 1: QTest::keyClicks(w.view.detailsEditor(), QStringLiteral(" Again.")); break;
        case 2: QTest::mouseClick(w.view.categoryPicker()->segment(1), Qt::LeftButton); break;
        default: QTest::mouseClick(w.view.systemToggle(), Qt::LeftButton); break;
        }
        QCOMPARE(w.view.status(), std::nullopt);
        QVERIFY(!w.view.statusLabel()->isVisible());
    }

    void labelsFollowTheWindowPalette()
    {
        Window w;
        const auto ink = [](const QLabel *label) { return label->palette().color(QPalette::WindowText); };
        for (const QPalette &appearance : {AppearancePalette::dark(), AppearancePalette::light(),
                                           AppearancePalette::dark()}) {
            w.view.setPalette(appearance);
            QCOMPARE(ink(w.view.privacyNote()), BrimfoldDesign::secondary(appearance));
            QCOMPARE(ink(w.view.systemLineLabel()), BrimfoldDesign::secondary(appearance));
            QCOMPARE(w.view.detailsEditor()->palette().color(QPalette::Text),
                     appearance.color(QPalette::Text));
            QCOMPARE(ink(w.view.placeholderLabel()),
                     BrimfoldDesign::withOpacity(appearance.color(QPalette::Text), 0.38));
        }
    }
};

QTEST_MAIN(TestFeedbackView)
#include "tst_feedbackview.moc"
