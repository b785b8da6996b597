// The application controller on the offscreen platform: where the floating button starts,
// what showing the gallery resets, and when the new-screenshot dot is set.
#include "AppHarness.h"

#include "core/FloatingPlacement.h"
#include "library/LibraryModel.h"
#include "settings/Preferences.h"
#include "text/ScreenshotTextIndex.h"
#include "settings/Shortcut.h"
#include "ui/design/AppearancePalette.h"
#include "ui/design/BrimfoldPanel.h"
#include "app/FloatingButtonPresenter.h"
#include "app/GalleryPresenter.h"
#include "app/ShortcutCoordinator.h"
#include "app/TrayMenu.h"
#include "app/dbus/DesktopSearchHost.h"
#include "app/dbus/DesktopSearchService.h"
#include "app/dbus/KRunnerProvider.h"
#include "app/dbus/ShellSearchProvider.h"
#include "ui/feedback/FeedbackView.h"
#include "ui/gallery/GalleryView.h"
#include "ui/floating/FloatingButton.h"
#include "ui/preview/PreviewWindow.h"
#include "ui/settings/SettingsView.h"
#include "ui/settings/ShortcutRecorder.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QMenu>
#include <QScreen>
#include <QtTest>

#include <future>

using namespace apptest;

// Counts the paints of the widgets it watches.
struct PaintCounter final : QObject
{
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

class TestAppController final : public QObject
{
    Q_OBJECT

private slots:
    // An older settings file may say the button lived on the left edge; that counts only until
    // the user resets the position.
    void legacyEdgeUntilReset_data()
    {
        QTest::addColumn<QString>("edge");
        QTest::addColumn<bool>("startsLeft");
        QTest::newRow("left") << "left" << true;
        QTest::newRow("right") << "right" << false;
        QTest::newRow("none") << "" << false;
    }

    void legacyEdgeUntilReset()
    {
        QFETCH(QString, edge);
        QFETCH(bool, startsLeft);
        QJsonObject settings;
        if (!edge.isEmpty())
            settings.insert(QString::fromLatin1(Preferences::legacyEdgeKey), edge);
        App app(Desktop::fake, true, settings);
        QVERIFY(app.start(1));
        BrimfoldPanel *panel = app.controller->floating().panel();
        QVERIFY(panel && panel->isVisible());
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        const auto nearLeft = [&] { return panel->geometry().center().x() < available.center().x(); };
        QCOMPARE(nearLeft(), startsLeft);
        QVERIFY(app.controller->preferences().floatingPosition().has_value());

        app.controller->floating().resetPosition();
        QVERIFY(!nearLeft());
        QCOMPARE(panel->geometry().right(), available.right() - int(FloatingPlacement::margin));
        // The stored position follows the reset, so the next start agrees.
        QCOMPARE(app.controller->preferences().floatingPosition()->horizontal, 1.0);
    }

    // Every showing starts over: no old search, the first screenshot selected.
    void showingClearsTheSearch()
    {
        App app;
        QVERIFY(app.start(3));
        app.controller->gallery().show(false);
        QVERIFY(app.controller->gallery().isShown());
        app.model().setQuery(QStringLiteral("Screenshot 01"));
        // Files written within one clock tick tie on time, so the list's order is no guide.
        QTRY_COMPARE(app.model().selectedID().value_or(QString()),
                     QDir(app.folder).filePath(QStringLiteral("Screenshot 01.png")));
        app.controller->gallery().hide(false);
        QTRY_VERIFY(!app.controller->gallery().panel()->isVisible());

        app.controller->gallery().show(false);
        QCOMPARE(app.model().query(), QString());
        QCOMPARE(app.model().selectedID(), app.model().items().first().id());
    }

    // The frame painted when the window is exposed shows the library as it is: a render still
    // queued then runs before that frame.
    void exposureRendersWhatIsQueued()
    {
        App app;
        QVERIFY(app.start(3));
        GalleryPresenter &gallery = app.controller->gallery();
        gallery.show(false);
        QCOMPARE(gallery.view()->area(), GalleryView::Area::grid);
        // A change between the showing and its expose, as a scan that ends then brings.
        app.model().setQuery(QStringLiteral("nothing is called this"));
        QCOMPARE(gallery.view()->area(), GalleryView::Area::grid); // rendered at the next turn
        emit gallery.panel()->exposed(); // the expose, handled before that turn
        QCOMPARE(gallery.view()->area(), GalleryView::Area::empty);
    }

    // The preview marks the words the current search found in the text, and nothing for a
    // search that only the file name matches.
    void previewMarksWhatTheSearchFound()
    {
        App app;
        app.model(); // makes the recogniser
        const QString name = shotNames(1).first();
        const QRectF invoice(0.25, 0.5, 0.125, 0.0625);
        app.recognizer->setText(name, QStringLiteral("Quarterly invoice"));
        app.recognizer->words.insert(name, {{"Quarterly", QRectF(0.05, 0.5, 0.15, 0.0625)}, {"invoice", invoice}});
        QVERIFY(app.start(1));
        QTRY_VERIFY(app.model().textIndex().documents().size() == 1);
        AppController &c = *app.controller;
        c.gallery().show(false);
        const Screenshot item = app.model().items().first();

        app.model().setQuery(QStringLiteral("INVOICE"));
        c.gallery().showPreview(item);
        QTRY_VERIFY(c.gallery().isPreviewShown());
        QCOMPARE(c.gallery().preview()->highlights().boxes(), QList<QRectF>{invoice});
        c.gallery().closePreview();

        app.model().setQuery(QStringLiteral("Screenshot"));
        QCOMPARE(app.model().visibleItems().size(), 1);
        c.gallery().showPreview(item);
        QTRY_VERIFY(c.gallery().isPreviewShown());
        QVERIFY(c.gallery().preview()->highlights().isEmpty());
    }

    // The dot means "new since you last looked": arrivals while the gallery is open do not set it.
    void arrivalsMarkTheButtonOnlyWhileHidden()
    {
        App app;
        QVERIFY(app.start(1));
        QVERIFY(!app.model().hasNewScreenshots());
        const auto arrive = [&](const QString &name) {
            const int before = app.model().arrivalCount();
            app.events->changed(writeShot(app.folder, name));
            return QTest::qWaitFor([&] { return app.model().arrivalCount() > before; }, 10000);
        };

        app.controller->gallery().show(false);
        QVERIFY(arrive(QStringLiteral("Screenshot 10.png")));
        QVERIFY(!app.model().hasNewScreenshots());
        QVERIFY(!app.controller->floating().button()->showsDot());

        app.controller->gallery().hide(false);
        QTRY_VERIFY(!app.controller->gallery().panel()->isVisible());
        QVERIFY(arrive(QStringLiteral("Screenshot 11.png")));
        QVERIFY(app.model().hasNewScreenshots());
        QVERIFY(app.controller->floating().button()->showsDot());

        // Looking clears it.
        app.controller->gallery().show(false);
        QVERIFY(!app.model().hasNewScreenshots());
    }

    // The first frame comes first: the tray, the preview and the desktop's services wait until
    // a panel has been painted, or for the next turn of the event loop when none shows.
    void firstFrameComesFirst_data()
    {
        QTest::addColumn<bool>("floatingButton");
        QTest::newRow("a panel shows") << true;
        QTest::newRow("none shows") << false;
    }
    void firstFrameComesFirst()
    {
        QFETCH(bool, floatingButton);
        App app;
        AppController &c = *app.controller;
        c.preferences().setFolderPath(app.folder);
        c.preferences().setHasConnectedFolder(true);
        c.preferences().setShowFloatingButton(floatingButton);
        c.start();
        QVERIFY(!c.tray() && !c.gallery().preview());
        QVERIFY(!app.hotKeys->held);
        QVERIFY(!app.sleep->started);
        QCOMPARE(c.floating().panel() && c.floating().panel()->isVisible(), floatingButton);
        PaintCounter painted;
        if (floatingButton)
            c.floating().panel()->installEventFilter(&painted);
        bool served = false;
        c.whenFirstPainted(&painted, [&] { served = !floatingButton || painted.paints > 0; });
        QTRY_VERIFY(c.tray());
        QVERIFY(c.gallery().preview());
        QVERIFY(app.hotKeys->held);
        QCOMPARE(app.hotKeys->held->keyCode, c.preferences().shortcut().keyCode);
        QVERIFY(app.sleep->started);
        QTRY_VERIFY(served);
    }

    // The desktop's search is asked on every key typed: the answer must not wait for the main
    // thread, which may be busy painting or reading. Asked from another connection while the main
    // thread is blocked here, as the shell or KRunner asks from its own process.
    void desktopSearchAnswersWhileTheMainThreadIsBusy()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("needs a session bus");
        App app;
        QVERIFY(app.start(3));
        QTRY_VERIFY(!app.model().textIndex().isIndexing());
        auto service = std::make_unique<DesktopSearchService>(app.model(), app.controller->gallery(),
                                                              *app.controller->services().images);
        QVERIFY(service->publish());

        const QString self = QDBusConnection::sessionBus().baseService();
        const auto ask = [self](const char *method, const QVariantList &arguments) {
            QDBusConnection shell = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("shell"));
            const bool runner = qstrcmp(method, "Match") == 0;
            QDBusMessage call = QDBusMessage::createMethodCall(
                self, runner ? KRunnerProvider::objectPath() : ShellSearchProvider::objectPath(),
                runner ? QStringLiteral("org.kde.krunner1") : QStringLiteral("org.gnome.Shell.SearchProvider2"),
                QLatin1String(method));
            call.setArguments(arguments);
            return shell.call(call, QDBus::Block, 10000);
        };
        const auto closeShell = qScopeGuard([] { QDBusConnection::disconnectFromBus(QStringLiteral("shell")); });
        const auto whileBlocked = [&](const char *method, const QVariantList &arguments) {
            std::future<QDBusMessage> answer = std::async(std::launch::async, ask, method, arguments);
            // No event of this thread runs until the answer is in.
            const bool answered = answer.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
            return answered ? answer.get() : QDBusMessage();
        };

        QString second;
        for (const Screenshot &item : app.model().items()) {
            if (item.displayName() == QStringLiteral("Screenshot 02"))
                second = item.id();
        }
        QVERIFY(!second.isEmpty());
        QDBusMessage reply = whileBlocked("GetInitialResultSet", {QStringList{QStringLiteral("screenshot"), QStringLiteral("02")}});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(reply.arguments().value(0).toStringList(), QStringList{second});
        reply = whileBlocked("GetSubsearchResultSet", {QStringList{second}, QStringList{QStringLiteral("screenshot")}});
        QCOMPARE(reply.arguments().value(0).toStringList().size(), 3);
        // Metas decode thumbnails on a thread of their own and answer from the bus's thread.
        reply = whileBlocked("GetResultMetas", {QStringList{second}});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        const SearchResultMetas metas = qdbus_cast<SearchResultMetas>(reply.arguments().value(0));
        QCOMPARE(metas.size(), 1);
        QCOMPARE(metas.first().value(QStringLiteral("name")).toString(), QStringLiteral("Screenshot 02"));
        reply = whileBlocked("Match", {QStringLiteral("02")});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(qdbus_cast<RunnerMatches>(reply.arguments().value(0)).value(0).id, second);

        // Opening the gallery is the main thread's: it happens once that thread runs again.
        QVERIFY(!app.controller->gallery().isShown());
        reply = whileBlocked("ActivateResult", {second, QStringList{QStringLiteral("02")}, 0u});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY(app.controller->gallery().isShown());
        QCOMPARE(app.model().query(), QStringLiteral("02"));

        // What the bus's thread searches follows the library: a new screenshot, then its text.
        app.recognizer->textFormat = QStringLiteral("pelican");
        QVERIFY(!writeShot(app.folder, QStringLiteral("Screenshot 03.png")).isEmpty());
        app.model().refresh(false);
        QTRY_COMPARE(app.model().items().size(), 4);
        QTRY_VERIFY(!app.model().textIndex().isIndexing());
        reply = whileBlocked("GetInitialResultSet", {QStringList{QStringLiteral("pelican")}});
        QCOMPARE(reply.arguments().value(0).toStringList(), QStringList{QFileInfo(app.folder + "/Screenshot 03.png").canonicalFilePath()});

        // Gone while a search is asked: an answer or an error, never a crash.
        std::future<QDBusMessage> late = std::async(std::launch::async, ask, "GetInitialResultSet",
                                                    QVariantList{QStringList{QStringLiteral("screenshot")}});
        service.reset();
        QVERIFY(late.get().type() != QDBusMessage::InvalidMessage);
    }

    // The shell lists a handful of results and KRunner a short list: both answer with the
    // gallery's first results, in its order, and no more.
    void desktopSearchListsStayShort()
    {
        App app;
        QVERIFY(app.start(ShellSearchProvider::resultLimit + 3));
        QTRY_VERIFY(!app.model().textIndex().isIndexing());
        DesktopSearchHost host(app.model(), app.controller->gallery());
        ShellSearchProvider shell(host, *app.controller->services().images);
        KRunnerProvider runner(host);

        QStringList newest;
        for (const Screenshot &item : app.model().snapshot().items().first(ShellSearchProvider::resultLimit))
            newest.append(item.id());
        QCOMPARE(shell.GetInitialResultSet({QStringLiteral("screenshot")}), newest);
        // Refined within a short previous answer, the search still covers the whole library.
        QCOMPARE(shell.GetSubsearchResultSet(newest.first(2), {QStringLiteral("SCREENSHOT")}), newest);
        const RunnerMatches matches = runner.Match(QStringLiteral("screenshot"));
        QCOMPARE(matches.size(), KRunnerProvider::matchLimit);
        QCOMPARE(matches.first().id, newest.first());
    }

    // The tray menu: entries in order, and what each opening refreshes.
    void trayMenu()
    {
        App app;
        QVERIFY(app.start(1));
        QTRY_VERIFY(app.controller->tray());
        QMenu *menu = &app.controller->tray()->menu();
        // Each with its shortcut, if it has one.
        QStringList entries;
        for (const QAction *action : menu->actions())
            entries.append(action->isSeparator() ? QStringLiteral("-")
                                                 : (action->text() + u' ' + action->shortcut().toString()).trimmed());
        QCOMPARE(entries, (QStringList{"Open screenshots", "-", "Show floating button", "Settings… Ctrl+,",
                                       "Share beta feedback…", "Check for Updates…", "-", "Quit Brimfold Ctrl+Q"}));
        const auto entry = [&](const QString &title) {
            const QList<QAction *> actions = menu->actions();
            return *std::find_if(actions.cbegin(), actions.cend(), [&](QAction *a) { return a->text() == title; });
        };
        // No updater on this desktop: the entry is hidden and could not be used anyway.
        emit menu->aboutToShow();
        QVERIFY(!entry("Check for Updates…")->isVisible());
        QVERIFY(!entry("Check for Updates…")->isEnabled());

        QAction *floating = entry("Show floating button");
        QVERIFY(floating->isChecked());
        floating->trigger();
        QVERIFY(!app.controller->preferences().showFloatingButton());
        QTRY_VERIFY(!app.controller->floating().panel()->isVisible());
        emit menu->aboutToShow();
        QVERIFY(!floating->isChecked());
        // A change made elsewhere shows the next time the menu opens.
        app.controller->preferences().setShowFloatingButton(true);
        emit menu->aboutToShow();
        QVERIFY(floating->isChecked());
        QTRY_VERIFY(app.controller->floating().panel()->isVisible());

        entry("Open screenshots")->trigger();
        QVERIFY(app.controller->gallery().isShown());
        entry("Settings…")->trigger();
        QVERIFY(!app.controller->gallery().isShown());
        QCOMPARE(app.controller->settingsWindow()->windowTitle(), QStringLiteral("Brimfold Settings"));
        QVERIFY(app.controller->settingsWindow()->isVisible());
        entry("Share beta feedback…")->trigger();
        QCOMPARE(app.controller->feedbackWindow()->windowTitle(), QStringLiteral("Brimfold Beta Feedback"));
        QVERIFY(app.controller->feedbackWindow()->isVisible());

        QSignalSpy quit(qApp, &QCoreApplication::aboutToQuit);
        QTimer::singleShot(0, entry("Quit Brimfold"), &QAction::trigger);
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); }); // a guard, not a wait
        QCOMPARE(QCoreApplication::exec(), 0);
    }

    // The hot key while the settings window records a new one only ends the recording; during
    // the hide animation it brings the gallery back. A refused shortcut keeps the old one and
    // says so; an accepted one clears the message.
    void hotKeyWhileRecordingOrHiding()
    {
        App app(Desktop::fake, false);
        QVERIFY(app.start(1));
        app.controller->showSettings();
        RecorderButton *recorder = app.controller->settingsWindow()->recorder();
        recorder->startRecording();
        QVERIFY(recorder->recording());
        app.hotKeys->press();
        QVERIFY(!recorder->recording());
        QVERIFY(!app.controller->gallery().isShown());

        const Shortcut ctrlAltK{VirtualKey::K, VirtualKey::controlModifier | VirtualKey::altModifier, QStringLiteral("K")};
        const Shortcut before = app.controller->preferences().shortcut();
        app.hotKeys->accepts = false;
        emit app.controller->settingsWindow()->shortcutRecorded(ctrlAltK);
        QCOMPARE(app.controller->preferences().shortcut(), before);
        QCOMPARE(app.controller->shortcuts().shortcutError(), QStringLiteral("That shortcut is unavailable. Try a different combination."));
        app.hotKeys->accepts = true;
        emit app.controller->settingsWindow()->shortcutRecorded(ctrlAltK);
        QCOMPARE(app.controller->preferences().shortcut(), ctrlAltK);
        QCOMPARE(app.controller->shortcuts().shortcutError(), std::nullopt);

        GalleryPresenter &gallery = app.controller->gallery();
        app.hotKeys->press();
        QVERIFY(gallery.isShown());
        QTRY_COMPARE(gallery.panel()->windowOpacity(), 1.0);
        gallery.hide(true);
        QVERIFY(gallery.isHiding());
        app.hotKeys->press();
        QVERIFY(gallery.isShown());
        // The stale hide must not finish it off. The show started later and lasts longer, so once
        // no animation is left, the hide's time has passed as well.
        QVERIFY(gallery.timing().showMs >= gallery.timing().hideMs);
        QTRY_VERIFY(gallery.findChildren<QVariantAnimation *>().isEmpty());
        QCoreApplication::processEvents();
        QVERIFY(gallery.panel()->isVisible());
        QVERIFY(gallery.isShown());
    }

    // Light, dark, or the desktop's choice, switched while running.
    void appearanceSwitchesLive()
    {
        App app;
        const QColor original = QApplication::palette().color(QPalette::Window);
        QVERIFY(app.start(1));
        app.controller->gallery().show(false);
        const auto window = [] { return QApplication::palette().color(QPalette::Window); };
        const auto galleryWindow = [&] { return app.controller->gallery().panel()->palette().color(QPalette::Window); };
        const QColor dark = AppearancePalette::dark().color(QPalette::Window);
        const QColor light = AppearancePalette::light().color(QPalette::Window);
        QCOMPARE(window(), original);

        app.controller->preferences().setAppearance(QStringLiteral("dark"));
        QTRY_COMPARE(window(), dark);
        QTRY_COMPARE(galleryWindow(), dark);
        app.controller->preferences().setAppearance(QStringLiteral("light"));
        QTRY_COMPARE(window(), light);
        // Anything else follows the desktop, and keeps following it.
        app.controller->preferences().setAppearance(QString());
        QTRY_COMPARE(window(), original);
        app.colorScheme->set(ColorScheme::Preference::dark);
        QCOMPARE(window(), dark);
        app.colorScheme->set(ColorScheme::Preference::light);
        QCOMPARE(window(), light);
        app.controller->preferences().setAppearance(QStringLiteral("system"));
        app.colorScheme->set(ColorScheme::Preference::none);
        QCOMPARE(window(), original);
        app.controller->preferences().setAppearance(QStringLiteral("dark"));
        QTRY_COMPARE(window(), dark);
        app.colorScheme->set(ColorScheme::Preference::light); // an explicit choice wins
        QCOMPARE(window(), dark);
        QApplication::setPalette(QPalette()); // for the next test
    }

    // Waking up looks at the folder again: what changed during sleep shows up.
    void wakingRescans()
    {
        App app;
        QVERIFY(app.start(1));
        QVERIFY(!writeShot(app.folder, QStringLiteral("Screenshot 20.png")).isEmpty()); // unreported
        QCoreApplication::processEvents();
        QVERIFY(!app.model().isScanning());
        QCOMPARE(app.model().items().size(), 1);
        emit app.sleep->woke();
        QTRY_COMPARE(app.model().items().size(), 2);
    }

    // Opening the gallery looks at the folder again too, once its first frame is out.
    void openingRescans()
    {
        App app;
        QVERIFY(app.start(1));
        QVERIFY(!writeShot(app.folder, QStringLiteral("Screenshot 20.png")).isEmpty()); // unreported
        QCoreApplication::processEvents();
        QCOMPARE(app.model().items().size(), 1);
        app.controller->gallery().show(false);
        QTRY_COMPARE(app.model().items().size(), 2);
        QVERIFY(QTest::qWaitForWindowActive(app.controller->gallery().panel()));
    }
};

QTEST_MAIN(TestAppController)
#include "tst_appcontroller.moc"
