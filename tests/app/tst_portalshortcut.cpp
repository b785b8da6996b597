// The application's global shortcut in a Wayland session, with a fake desktop portal on a
// private bus: what the settings window says of each answer, and what is stored.
#include "AppHarness.h"
#include "FakeShortcutPortal.h"

#include "app/GalleryPresenter.h"
#include "app/ShortcutCoordinator.h"
#include "settings/Preferences.h"
#include "ui/controls/SettingsRow.h"
#include "ui/settings/SettingsView.h"
#include "ui/settings/ShortcutRecorder.h"

#include <QLabel>

using namespace apptest;

namespace {

const Shortcut ctrlAltK{VirtualKey::K, VirtualKey::controlModifier | VirtualKey::altModifier, QStringLiteral("K")};
const QString kRefusedAtStart =
    QStringLiteral("The desktop did not accept this shortcut. It works only while an X11 window is active.");
const QString kRefusedRecorded = QStringLiteral(
    "The desktop did not accept that shortcut. The previous one works only while an X11 window is active.");
const QString kNoPortal = QStringLiteral(
    "This desktop offers no global shortcuts to apps. The shortcut works only while an X11 window is active.");

// The text of a line under the recorder; empty while the line is hidden.
QString shownLine(AppController &controller, const char *objectName)
{
    auto *row = controller.settingsWindow()->findChild<SettingsRow *>(QLatin1String(objectName));
    if (!row || row->isHidden())
        return QString();
    QString text;
    for (QLabel *label : row->findChildren<QLabel *>())
        text += label->text();
    return text;
}

} // namespace

class TestPortalShortcut final : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<FakeShortcutPortal> m_portal;
    std::unique_ptr<App> m_app;

    bool startApp()
    {
        m_app = std::make_unique<App>(Desktop::fake, true, QJsonObject{},
                                      std::make_unique<PortalHotKeySource>(m_bus->connect(QStringLiteral("app"))));
        return m_app->start(2);
    }

    // The shortcut the last binding asked the desktop for.
    QString preferredTrigger() const
    {
        const FakeShortcutPortal::Call bind = m_portal->callsOf(QStringLiteral("BindShortcuts")).last();
        return bind.shortcuts.at(0).properties.value(QStringLiteral("preferred_trigger")).toString();
    }

private slots:
    void init()
    {
        if (!startPortal(m_bus, m_portal))
            QSKIP("needs dbus-daemon");
        QVERIFY(m_portal->isServing());
    }

    void cleanup()
    {
        m_app.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("app"));
        m_portal.reset();
        m_bus.reset();
    }

    // Bound: the desktop's presses open and close the gallery, and its trigger is shown.
    void boundAtStartAndRecorded()
    {
        QVERIFY(startApp());
        AppController &controller = *m_app->controller;
        QTRY_COMPARE(m_portal->callsOf(QStringLiteral("BindShortcuts")).size(), 1);
        QCOMPARE(preferredTrigger(), QStringLiteral("CTRL+SHIFT+g"));
        QTRY_COMPARE(controller.shortcuts().desktopTrigger(), QStringLiteral("Press Ctrl+Shift+G"));
        QCOMPARE(controller.shortcuts().shortcutError(), std::nullopt);

        m_portal->activate(m_portal->lastSession());
        QTRY_VERIFY(controller.gallery().isShown());
        m_portal->activate(m_portal->lastSession());
        QTRY_VERIFY(!controller.gallery().isShown());

        controller.showSettings();
        QCOMPARE(shownLine(controller, "desktopTrigger"), QStringLiteral("Your desktop runs it with Press Ctrl+Shift+G."));
        QCOMPARE(shownLine(controller, "shortcutError"), QString());
        m_portal->changeTrigger(m_portal->lastSession(), QStringLiteral("Super+S"));
        QTRY_COMPARE(shownLine(controller, "desktopTrigger"), QStringLiteral("Your desktop runs it with Super+S."));

        // A recorded shortcut is stored only once the desktop agrees to it.
        m_portal->bindResponse = 1;
        emit controller.settingsWindow()->shortcutRecorded(ctrlAltK);
        QCOMPARE(controller.preferences().shortcut(), Shortcut());
        QTRY_COMPARE(shownLine(controller, "shortcutError"), kRefusedRecorded);
        QCOMPARE(controller.preferences().shortcut(), Shortcut());
        QCOMPARE(shownLine(controller, "desktopTrigger"), QString());

        m_portal->bindResponse = 0;
        m_portal->triggerDescription = QStringLiteral("Ctrl+Alt+K");
        emit controller.settingsWindow()->shortcutRecorded(ctrlAltK);
        QTRY_COMPARE(controller.preferences().shortcut(), ctrlAltK);
        QCOMPARE(shownLine(controller, "shortcutError"), QString());
        QCOMPARE(shownLine(controller, "desktopTrigger"), QStringLiteral("Your desktop runs it with Ctrl+Alt+K."));
        QCOMPARE(preferredTrigger(), QStringLiteral("CTRL+ALT+k"));
        QCOMPARE(controller.settingsWindow()->recorder()->text(), ctrlAltK.label());
    }

    // Refused at start, or no portal at all: the grab does the work, as under X11, and the error
    // line says where the shortcut still works.
    void notBoundAtStart_data()
    {
        QTest::addColumn<bool>("portal");
        QTest::addColumn<QString>("error");
        QTest::newRow("refused") << true << kRefusedAtStart;
        QTest::newRow("no portal") << false << kNoPortal;
    }

    void notBoundAtStart()
    {
        QFETCH(bool, portal);
        QFETCH(QString, error);
        m_portal->bindResponse = 1;
        if (!portal)
            m_portal.reset();
        QVERIFY(startApp());
        AppController &controller = *m_app->controller;
        QTRY_COMPARE(controller.shortcuts().shortcutError(), error);
        controller.showSettings();
        QCOMPARE(shownLine(controller, "shortcutError"), error);
        QCOMPARE(shownLine(controller, "desktopTrigger"), QString());
        m_app->hotKeys->press();
        QTRY_VERIFY(controller.gallery().isShown());
        if (portal)
            return;

        emit controller.settingsWindow()->shortcutRecorded(ctrlAltK);
        QTRY_COMPARE(controller.preferences().shortcut(), ctrlAltK);
        QCOMPARE(shownLine(controller, "shortcutError"), kNoPortal);
        // A grab refused as well: the old one stays, and the refusal is what the line says.
        const Shortcut ctrlAltJ{VirtualKey::J, ctrlAltK.modifiers, QStringLiteral("J")};
        m_app->hotKeys->accepts = false;
        emit controller.settingsWindow()->shortcutRecorded(ctrlAltJ);
        QTRY_COMPARE(shownLine(controller, "shortcutError"),
                     QStringLiteral("That shortcut is unavailable. Try a different combination."));
        QCOMPARE(controller.preferences().shortcut(), ctrlAltK);
    }
};

QTEST_MAIN(TestPortalShortcut)
#include "tst_portalshortcut.moc"
