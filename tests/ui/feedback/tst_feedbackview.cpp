#include "FakeUrlOpener.h"
#include "FakeClipboard.h"

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
const QString kImprovementHint = QStringLiteral("What would make your screenshot workflow easier?");

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
        QCOMPARE(w.view.deliveryNote()->text(),
                 "Draft addressed to " + kAddress + ". You review and send it in your email app.");
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
    }

    void blankDetailsDisableBothButtons_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("empty") << QString() << false;
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

    // The hint follows the category, chosen with the keys or a click, while the editor is empty.
    void placeholderFollowsCategoryWhileEmpty()
    {
        const QString problemHint = QStringLiteral("What happened, and what did you expect?");
        Window w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        QLabel *placeholder = w.view.placeholderLabel();
        QVERIFY(placeholder->isVisible());
        QCOMPARE(placeholder->text(), problemHint);

        SegmentedControl *picker = w.view.categoryPicker();
        picker->segment(0)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(w.view.category(), kImprovement);
        QVERIFY(picker->segment(1)->isChecked() && !picker->segment(0)->isChecked());
        QCOMPARE(placeholder->text(), kImprovementHint);
        QVERIFY(placeholder->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(w.view.category(), kImprovement);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
        QCOMPARE(w.view.category(), kProblem);

        picker->segment(1)->click();
        QTest::keyClicks(w.view.detailsEditor(), QStringLiteral("a"));
        QVERIFY(!placeholder->isVisible());
        picker->segment(0)->click();
        QVERIFY(!placeholder->isVisible());

        // White space is text too: the hint stays away until the editor is truly empty.
        w.type(QString());
        QTest::keyClick(w.view.detailsEditor(), Qt::Key_Space);
        QVERIFY(!placeholder->isVisible());
        QTest::keyClick(w.view.detailsEditor(), Qt::Key_Backspace);
        QVERIFY(placeholder->isVisible());
        QCOMPARE(placeholder->text(), problemHint);
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

    // Both ways out, the draft and the copy, say how they went.
    void deliveryReportsTheOutcome_data()
    {
        QTest::addColumn<bool>("email");
        QTest::addColumn<int>("category");
        QTest::addColumn<bool>("works");
        QTest::addColumn<QString>("status");
        QTest::newRow("draft opened") << true << 0 << true << QStringLiteral("Draft opened in your email app.");
        QTest::newRow("no mail program")
            << true << 1 << false << QStringLiteral("No email app available. Use Copy feedback.");
        QTest::newRow("copied") << false << 0 << true << QStringLiteral("Copied. Ready to share.");
        QTest::newRow("copy refused") << false << 1 << false << QStringLiteral("Couldn’t copy. Try again.");
    }

    void deliveryReportsTheOutcome()
    {
        QFETCH(bool, email);
        QFETCH(int, category);
        QFETCH(bool, works);
        QFETCH(QString, status);

        Window w;
        w.urls.accepts = works;
        w.clipboard.accepts = works;
        w.view.categoryPicker()->segment(category)->click();
        // Characters that mean something in a URL must come back as typed.
        w.type(QStringLiteral("Tiles & pins: 100% broken?\n#2 a+b=c; see https://x.example/?q=1"));
        QTest::mouseClick(email ? w.view.emailButton() : w.view.copyButton(), Qt::LeftButton);

        QCOMPARE(w.view.status(), std::optional<QString>(status));
        QVERIFY(w.view.statusLabel()->isVisible());
        QCOMPARE(w.view.statusLabel()->text(), status);
        QCOMPARE(w.clipboard.writeCount, email ? 0 : 1);
        QCOMPARE(w.urls.opened.size(), email ? 1 : 0);
        if (email) {
            const QUrl draft = w.urls.opened.first();
            QCOMPARE(draft.scheme(), QStringLiteral("mailto"));
            QCOMPARE(draft.path(), kAddress);
            const QList<std::pair<QString, QString>> items{
                {"subject", "Brimfold beta: " + FeedbackView::categories().at(category)}, {"body", w.view.report()}};
            QCOMPARE(QUrlQuery(draft).queryItems(QUrl::FullyDecoded), items);
            QVERIFY(w.view.report().contains(QStringLiteral("a+b=c")));
        } else {
            QCOMPARE(w.clipboard.text, works ? std::optional<QString>(w.view.report()) : std::nullopt);
        }

        // A later outcome replaces the line.
        w.urls.accepts = !works;
        w.clipboard.accepts = !works;
        QTest::mouseClick(email ? w.view.emailButton() : w.view.copyButton(), Qt::LeftButton);
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
