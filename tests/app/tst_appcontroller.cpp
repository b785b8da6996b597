// The application controller on the offscreen platform: where the floating button starts,
// what showing the gallery resets, and when the new-screenshot dot is set.
#include "AppHarness.h"

#include "core/FloatingPlacement.h"
#include "library/LibraryModel.h"
#include "settings/Preferences.h"
#include "ui/BrimfoldPanel.h"
#include "ui/FloatingButton.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

using namespace apptest;

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
        BrimfoldPanel *panel = app.controller->floatingPanel();
        QVERIFY(panel && panel->isVisible());
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        const auto nearLeft = [&] { return panel->geometry().center().x() < available.center().x(); };
        QCOMPARE(nearLeft(), startsLeft);
        QVERIFY(app.controller->preferences().floatingPosition().has_value());

        app.controller->resetFloatingPosition();
        QVERIFY(!nearLeft());
        QCOMPARE(panel->geometry().right(), available.right() - int(FloatingPlacement::margin));
        // The stored position follows the reset, so the next start agrees.
        const FloatingPosition stored = *app.controller->preferences().floatingPosition();
        QCOMPARE(stored.horizontal, 1.0);
    }

    // Every showing starts over: no old search, the first screenshot selected.
    void showingClearsTheSearch()
    {
        App app;
        QVERIFY(app.start(3));
        app.controller->showGallery(false);
        QVERIFY(app.controller->isGalleryShown());
        app.model().setQuery(QStringLiteral("Screenshot 01"));
        QTRY_COMPARE(app.model().selectedID(), app.model().items().value(1).id());
        app.controller->hideGallery(false);
        QTRY_VERIFY(!app.controller->galleryPanel()->isVisible());

        app.controller->showGallery(false);
        QCOMPARE(app.model().query(), QString());
        QCOMPARE(app.model().selectedID(), app.model().items().first().id());
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

        app.controller->showGallery(false);
        QVERIFY(arrive(QStringLiteral("Screenshot 10.png")));
        QVERIFY(!app.model().hasNewScreenshots());
        QVERIFY(!app.controller->floatingButton()->showsDot());

        app.controller->hideGallery(false);
        QTRY_VERIFY(!app.controller->galleryPanel()->isVisible());
        QVERIFY(arrive(QStringLiteral("Screenshot 11.png")));
        QVERIFY(app.model().hasNewScreenshots());
        QVERIFY(app.controller->floatingButton()->showsDot());

        // Looking clears it.
        app.controller->showGallery(false);
        QVERIFY(!app.model().hasNewScreenshots());
    }
};

QTEST_MAIN(TestAppController)
#include "tst_appcontroller.moc"
