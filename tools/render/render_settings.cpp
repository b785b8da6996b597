// Writes pictures of the settings window into $BRIMFOLD_RENDER_DIR, light and dark, as the
// window first opens and with its whole form laid out. Without the variable it does nothing.

#include "FakeUrlOpener.h"
#include "LibraryModelHarness.h"

#include "platform/LaunchAtLogin.h"
#include "platform/UrlOpener.h"
#include "settings/UpdateService.h"
#include "ui/design/AppearancePalette.h"
#include "ui/controls/PopupPicker.h"
#include "ui/settings/SettingsView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QScrollArea>
#include <QtTest>

using harness::Fixture;

namespace {

struct NoLogin final : LaunchAtLogin
{
    bool isEnabled() const override { return true; }
    bool setEnabled(bool) override { return false; }
};


} // namespace

class TestRenderSettings : public QObject
{
    Q_OBJECT

private slots:
    void render();
};

void TestRenderSettings::render()
{
    const QString dir = qEnvironmentVariable("BRIMFOLD_RENDER_DIR");
    if (dir.isEmpty())
        QSKIP("BRIMFOLD_RENDER_DIR is not set: nothing to render");
    QVERIFY(QDir().mkpath(dir));

    Fixture f;
    f.preferences->setFolderPath(QDir::homePath() + QStringLiteral("/Pictures/Screenshots"));
    const QStringList names = harness::shotNames(3);
    f.recognizer->failing.insert(names.at(1));
    QVERIFY(f.populate(names));
    QTRY_VERIFY(!f.model->textIndex().failedKeys().isEmpty());

    UpdateService updates;
    NoLogin login;
    FakeUrlOpener urls;
    SettingsView view(*f.preferences, *f.model, updates, login, urls);
    view.resize(570, 660);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    const auto save = [&](const QString &name) {
        // Layouts settle over a few rounds of posted events (rows shown or hidden, the scroll
        // area following its form).
        for (int round = 0; round < 5; ++round)
            QApplication::processEvents();
        QVERIFY(view.grab().save(QDir(dir).filePath(name + QStringLiteral(".png"))));
    };
    // The whole form at once: the window as tall as its content.
    const auto saveFull = [&](const QString &name) {
        auto *scroll = view.findChild<QScrollArea *>();
        const int hidden = scroll->widget()->sizeHint().height() - scroll->viewport()->height();
        view.resize(570, view.height() + std::max(0, hidden));
        save(name);
        view.resize(570, 660);
    };

    for (const bool dark : {false, true}) {
        view.setPalette(dark ? AppearancePalette::dark() : AppearancePalette::light());
        const QString scheme = dark ? QStringLiteral("dark") : QStringLiteral("light");
        view.setShortcutError(std::nullopt);
        save(QStringLiteral("settings-") + scheme);

        view.setShortcutError(QStringLiteral("That shortcut is unavailable. Try a different combination."));
        view.findChild<QAbstractButton *>(QStringLiteral("launchAtLogin"))->click();
        saveFull(QStringLiteral("settings-") + scheme + QStringLiteral("-full"));
        view.findChild<QAbstractButton *>(QStringLiteral("launchAtLogin"))->click();

        // The appearance picker's menu, as it opens over the window.
        auto *picker = view.findChild<PopupPicker *>(QStringLiteral("appearance"));
        picker->click();
        QTRY_VERIFY(picker->menu()->isVisible());
        QApplication::processEvents();
        QVERIFY(picker->menu()->grab().save(
            QDir(dir).filePath(QStringLiteral("settings-") + scheme + QStringLiteral("-menu.png"))));
        picker->menu()->hide();
    }
}

QTEST_MAIN(TestRenderSettings)
#include "render_settings.moc"
