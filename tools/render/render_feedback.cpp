// Writes pictures of the feedback window into $BRIMFOLD_RENDER_DIR, light and dark, for
// looking at the design. Without the variable it does nothing.

#include "FakeUrlOpener.h"
#include "FakeClipboard.h"

#include "platform/UrlOpener.h"
#include "settings/ReleaseConfiguration.h"
#include "ui/design/AppearancePalette.h"
#include "ui/feedback/FeedbackView.h"
#include "ui/controls/SegmentedControl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPlainTextEdit>
#include <QtTest>

namespace {


} // namespace

class TestRenderFeedback : public QObject
{
    Q_OBJECT

private slots:
    void render();
};

void TestRenderFeedback::render()
{
    const QString dir = qEnvironmentVariable("BRIMFOLD_RENDER_DIR");
    if (dir.isEmpty())
        QSKIP("BRIMFOLD_RENDER_DIR is not set: nothing to render");
    QVERIFY(QDir().mkpath(dir));

    FakeClipboard clipboard;
    FakeUrlOpener urls;
    urls.accepts = false;
    const auto save = [&](QWidget &view, const char *name) {
        QApplication::processEvents();
        QVERIFY(view.grab().save(QDir(dir).filePath(QString::fromLatin1(name) + ".png")));
    };

    // Light: an address is configured, details are typed and copied, the editor has focus.
    FeedbackView light(clipboard, urls, ReleaseConfiguration({}, {}, QStringLiteral("beta@brimfold.app")));
    light.setPalette(AppearancePalette::light());
    light.resize(560, 520);
    light.show();
    QVERIFY(QTest::qWaitForWindowExposed(&light));
    light.activateWindow();
    light.detailsEditor()->setFocus();
    QTest::keyClicks(light.detailsEditor(), QStringLiteral("The gallery opened on the wrong display "
                                                           "after I unplugged my monitor."));
    QTest::keyClick(light.detailsEditor(), Qt::Key_Return);
    QTest::keyClick(light.detailsEditor(), Qt::Key_Return);
    QTest::keyClicks(light.detailsEditor(), QStringLiteral("I expected it next to the floating button."));
    light.copyButton()->click();
    QCOMPARE(light.status(), std::optional<QString>(QStringLiteral("Copied. Ready to share.")));
    save(light, "feedback-light");

    // Dark, set on the view as the controller does at run time: no address, nothing typed yet,
    // the second category.
    FeedbackView dark(clipboard, urls, ReleaseConfiguration());
    dark.resize(560, 520);
    dark.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dark));
    dark.setPalette(AppearancePalette::dark());
    dark.categoryPicker()->segment(1)->click();
    save(dark, "feedback-dark");
}

QTEST_MAIN(TestRenderFeedback)
#include "render_feedback.moc"
