#include "FakeUrlOpener.h"
#include "LibraryModelHarness.h"

#include "platform/freedesktop/XdgAutostart.h"
#include "platform/UrlOpener.h"
#include "settings/ReleaseInfo.h"
#include "settings/UpdateService.h"
#include "ui/design/AppearancePalette.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/controls/ElidedLabel.h"
#include "ui/controls/KeyHint.h"
#include "ui/controls/PopupPicker.h"
#include "ui/controls/SegmentedControl.h"
#include "ui/controls/SettingsRow.h"
#include "ui/settings/SettingsView.h"
#include "ui/settings/ShortcutRecorder.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using harness::Fixture;

namespace {

// One window over a fixture's model, with a real autostart entry in a temporary folder.
struct Window final
{
    explicit Window(Fixture &f, const QString &autostartFolder, Preferences *preferences = nullptr)
        : autostart(autostartFolder)
    {
        view = std::make_unique<SettingsView>(preferences ? *preferences : *f.preferences, *f.model, updates,
                                              autostart, urls);
        view->resize(570, 660);
        view->show();
    }

    template <typename T = QWidget>
    T *child(const char *name) const
    {
        T *found = view->findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning("no %s named %s", T::staticMetaObject.className(), name);
        return found;
    }
    bool shows(const char *name) const
    {
        const QWidget *widget = child(name);
        return widget && widget->isVisibleTo(view.get());
    }

    UpdateService updates;
    XdgAutostart autostart;
    FakeUrlOpener urls;
    std::unique_ptr<SettingsView> view;
};

// What a widget says on screen, empty for widgets that say nothing themselves.
QString shownText(const QWidget *widget)
{
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (const auto *hint = qobject_cast<const KeyHint *>(widget))
        return hint->keys() + u' ' + hint->label();
    if (const auto *elided = qobject_cast<const ElidedLabel *>(widget))
        return elided->text();
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    return {};
}

// Every text of the window in reading order: by row, then left to right, then top to bottom.
QStringList readingOrder(QWidget *view)
{
    struct Item
    {
        int rowTop, x, y;
        QString text;
    };
    QList<Item> items;
    for (QWidget *widget : view->findChildren<QWidget *>()) {
        const QString text = shownText(widget);
        if (text.isEmpty() || !widget->isVisibleTo(view))
            continue;
        QWidget *row = widget;
        while (row && !qobject_cast<SettingsRow *>(row))
            row = row->parentWidget();
        const QPoint at = widget->mapTo(view, QPoint());
        items.append({(row ? row : widget)->mapTo(view, QPoint()).y(), at.x(), at.y(), text});
    }
    std::stable_sort(items.begin(), items.end(), [](const Item &a, const Item &b) {
        return std::tie(a.rowTop, a.x, a.y) < std::tie(b.rowTop, b.x, b.y);
    });
    QStringList texts;
    for (const Item &item : items)
        texts << item.text;
    return texts;
}

} // namespace

// Whether the scrolled content fits the window at its designed width: the view never scrolls
// sideways, so anything wider would be cut off.
bool fitsTheWidth(QWidget &view)
{
    view.resize(570, view.height());
    auto *area = view.findChild<QScrollArea *>();
    if (!area || !area->widget())
        return false;
    area->widget()->adjustSize();
    const int needed = area->widget()->minimumSizeHint().width();
    const int available = 570 - area->verticalScrollBar()->sizeHint().width() - 2 * area->frameWidth();
    if (needed > available)
        qWarning("the settings need %d pixels of %d", needed, available);
    return needed <= available;
}

class TestSettingsView final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString autostartFolder() const { return m_dir->filePath(QStringLiteral("autostart")); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void sectionsInOrder()
    {
        Fixture f;
        f.preferences->setFolderPath(QStringLiteral("/home/ada/Pictures/Screenshots"));
        Window w(f, autostartFolder());
        // Tall enough for the whole form, so nothing scrolls.
        w.view->resize(570, 2600);
        QApplication::processEvents();

        // The sections in order, with what each shows of the user's own settings.
        const QStringList expected{
            "Appearance", "Show floating button", "Button size",
            "Keyboard access", "Ctrl+Shift+G",
            "Screenshot folder", "/home/ada/Pictures/Screenshots",
            "Search & copy text",
            "At home on your desktop", "Launch Brimfold at login",
            "Beta & updates", "Brimfold " + ReleaseInfo::version(),
        };
        const QStringList shown = readingOrder(w.view.get());
        qsizetype at = 0;
        for (const QString &text : expected) {
            const qsizetype found = shown.indexOf(text, at);
            QVERIFY2(found >= 0, qPrintable("missing or out of order: " + text + "\nshown: "
                                            + shown.join(u'|')));
            at = found + 1;
        }
        // The widest row still fits the window's designed width.
        QVERIFY(fitsTheWidth(*w.view));
    }

    void switchesWriteThroughAndFollow_data()
    {
        // The control is named after the preference it writes.
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("viaRow");
        QTest::newRow("floating button") << "showFloatingButton" << false;
        QTest::newRow("floating button, row clicked") << "showFloatingButton" << true;
        QTest::newRow("snap") << "snapToEdges" << false;
        QTest::newRow("all images, row clicked") << "includeAllImages" << true;
    }

    void switchesWriteThroughAndFollow()
    {
        QFETCH(QString, key);
        QFETCH(bool, viaRow);
        Fixture f;
        Window w(f, autostartFolder());
        QVERIFY(QTest::qWaitForWindowExposed(w.view.get()));
        auto *control = w.child<QAbstractButton>(qPrintable(key));
        QVERIFY(control);
        Preferences &p = *f.preferences;
        const auto stored = [&] { return p.property(qPrintable(key)).toBool(); };
        const bool before = stored();
        QCOMPARE(control->isChecked(), before);

        if (viaRow) {
            // The row's title, not the switch: the whole row is the target.
            auto *row = qobject_cast<SettingsRow *>(control->parentWidget());
            QVERIFY(row);
            QLabel *title = row->findChild<QLabel *>();
            QTest::mouseClick(title, Qt::LeftButton);
        } else {
            control->click();
        }
        QCOMPARE(stored(), !before);
        QCOMPARE(f.store->boolean(key), std::optional<bool>(!before));
        if (key == QLatin1String("showFloatingButton")) {
            // Hidden, the button's other settings stay usable.
            for (const char *other : {"snapToEdges", "buttonSize", "resetPosition"})
                QVERIFY2(w.child(other)->isEnabled(), other);
            QVERIFY(w.child<SegmentedControl>("buttonSize")->segment(0)->isEnabled());
        }

        // Changed elsewhere (the tray menu, another writer): the switch follows.
        p.setProperty(qPrintable(key), before);
        QCOMPARE(control->isChecked(), before);
    }

    void choicesWriteThroughAndFollow()
    {
        Fixture f;
        Window w(f, autostartFolder());
        Preferences &p = *f.preferences;

        auto *size = w.child<SegmentedControl>("buttonSize");
        QCOMPARE(size->currentIndex(), 1);
        size->segment(2)->click();
        QCOMPARE(p.buttonSize(), FloatingButtonSize::large);
        p.setButtonSize(FloatingButtonSize::compact);
        QCOMPARE(size->currentIndex(), 0);

        auto *appearance = w.child<PopupPicker>("appearance");
        QCOMPARE(appearance->text(), "System");
        QCOMPARE(appearance->menu()->actions().size(), 3);
        appearance->action(2)->trigger();
        QCOMPARE(p.appearance(), "dark");
        QCOMPARE(f.store->string("appearance"), std::optional<QString>("dark"));
        p.setAppearance(QStringLiteral("light"));
        QCOMPARE(appearance->text(), "Light");
        QVERIFY(appearance->action(1)->isChecked());
        // Text the program does not know is followed as "system".
        p.setAppearance(QStringLiteral("sepia"));
        QCOMPARE(appearance->text(), "System");

        // The folder row follows the connected folder.
        p.setFolderPath(QStringLiteral("/data/shots/March"));
        QCOMPARE(w.child<QLabel>("folderName")->text(), "March");
        QCOMPARE(w.child<ElidedLabel>("folderPath")->text(), "/data/shots/March");

        const Shortcut recorded{VirtualKey::K, VirtualKey::controlModifier | VirtualKey::altModifier,
                                QStringLiteral("K")};
        p.setShortcut(recorded);
        QCOMPARE(w.view->recorder()->shortcut(), recorded);
    }

    // The text section says what the index reports (its wording is tst_recognitionlanguages'),
    // the longest line wrapping within the window's designed width, and offers a retry only while
    // something failed.
    void textSectionNamesTheLanguagesAndRetries()
    {
        Fixture f;
        const QStringList names = harness::shotNames(3);
        {
            const std::lock_guard lock(f.recognizer->mutex);
            f.recognizer->languages = QStringList{"en-US", "ar-SA"};
            f.recognizer->missingLanguages = QStringList{"de", "ru"};
            f.recognizer->failing.insert(names.at(1));
        }
        Window w(f, autostartFolder());
        QVERIFY(!w.shows("retryUnread"));

        QVERIFY(f.populate(names));
        QTRY_VERIFY(w.shows("retryUnread"));
        QCOMPARE(w.child<QLabel>("textIndexStatus")->text(), "Some text couldn’t be read");
        auto *languages = w.child<QLabel>("languageDescription");
        QVERIFY(languages->isVisibleTo(w.view.get()));
        QTRY_COMPARE(languages->text(), f.model->textIndex().languageDescription());
        QVERIFY(languages->text().contains(u"tesseract-ocr-rus"));
        QVERIFY(fitsTheWidth(*w.view));

        {
            const std::lock_guard lock(f.recognizer->mutex);
            f.recognizer->failing.clear();
        }
        w.child<QAbstractButton>("retryUnread")->click();
        QVERIFY(f.model->textIndex().failedKeys().isEmpty());
        QVERIFY(!w.shows("retryUnread"));
        QVERIFY(f.settle());
        QVERIFY(!w.shows("retryUnread"));
        QVERIFY(!w.shows("textStatusRow"));
    }

    void localBuildShowsTheNoticeInsteadOfUpdateControls()
    {
        Fixture f;
        Window w(f, autostartFolder());
        const QString details = w.child<QLabel>("releaseDetails")->text();
        QVERIFY2(details.startsWith(ReleaseInfo::label() + " · Build " + ReleaseInfo::build()),
                 qPrintable(details));
        QCOMPARE(details.endsWith(" · Local build"), ReleaseInfo::isLocal());

        // No updater on this platform: the notice, never the controls.
        QVERIFY(!w.updates.isConfigured());
        QVERIFY(w.shows("localBuildNotice"));
        QVERIFY(!w.shows("automaticChecksRow"));
        QVERIFY(!w.shows("checkForUpdatesRow"));
        // The controls exist for a build that has one, and cannot check before it can.
        QVERIFY(!w.child<QAbstractButton>("checkForUpdates")->isEnabled());
        QVERIFY(w.child<QAbstractButton>("automaticChecks"));
    }

    void launchAtLoginChangesTheAutostartEntry_data()
    {
        QTest::addColumn<bool>("enabledBefore");
        QTest::addColumn<bool>("writable");
        QTest::newRow("turn on") << false << true;
        QTest::newRow("turn off") << true << true;
        QTest::newRow("folder not writable") << false << false;
    }

    void launchAtLoginChangesTheAutostartEntry()
    {
        QFETCH(bool, enabledBefore);
        QFETCH(bool, writable);
        // Below a regular file no folder can be made, whoever runs the test.
        const QString blocker = m_dir->filePath(QStringLiteral("file"));
        QVERIFY(TestSupport::writeFile(blocker, "x"));
        const QString folder = writable ? autostartFolder() : blocker + QStringLiteral("/autostart");
        XdgAutostart entry(folder);
        QVERIFY(entry.setEnabled(enabledBefore));
        Fixture f;
        Window w(f, folder);
        auto *control = w.child<QAbstractButton>("launchAtLogin");
        // Read from the desktop when the window is made.
        QCOMPARE(control->isChecked(), enabledBefore);

        control->click();
        // A failure keeps the choice, and says so.
        QCOMPARE(control->isChecked(), !enabledBefore);
        QCOMPARE(entry.isEnabled(), writable && !enabledBefore);
        QCOMPARE(QFileInfo::exists(entry.filePath()), writable && !enabledBefore);
        QCOMPARE(w.shows("loginError"), !writable);
        if (!writable) {
            QCOMPARE(w.child("loginError")->findChild<QLabel *>()->text(),
                     "Login launch couldn’t be changed. Check that your autostart folder is writable.");
            // Turning it off again asks for nothing that can fail, and the message goes.
            control->click();
            QVERIFY(!control->isChecked());
            QVERIFY(!w.shows("loginError"));
        }
    }

    void buttonsAndLinksReachTheirTargets()
    {
        Fixture f;
        Window w(f, autostartFolder());
        QVERIFY(QTest::qWaitForWindowExposed(w.view.get()));

        QSignalSpy recorded(w.view.get(), &SettingsView::shortcutRecorded);
        w.view->recorder()->click();
        QTest::keyClick(w.view->recorder(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(recorded.count(), 1);
        const auto shortcut = recorded.first().first().value<Shortcut>();
        QCOMPARE(shortcut.label(), "Ctrl+Alt+K");
        // Stored only once the owner registered it.
        QCOMPARE(f.preferences->shortcut(), Shortcut());

        w.child<QAbstractButton>("changeFolder")->click();
        QVERIFY(f.folderPicker->pending);
        for (const auto &[button, signal] : {std::pair{"openGallery", SIGNAL(openGalleryRequested())},
                                             std::pair{"shareFeedback", SIGNAL(feedbackRequested())},
                                             std::pair{"resetPosition", SIGNAL(resetPositionRequested())}}) {
            QSignalSpy spy(w.view.get(), signal);
            w.child<QAbstractButton>(button)->click();
            QVERIFY2(spy.count() == 1, button);
        }

        w.child<QAbstractButton>("supportLink")->click();
        QCOMPARE(w.urls.opened, QList<QUrl>{QUrl("https://vellum.app/brimfold/support")});

        w.urls.opened.clear();
        w.child<QAbstractButton>("whatsNew")->click();
        const QString notes = ReleaseInfo::releaseNotesPath();
        QCOMPARE(w.urls.opened,
                 notes.isEmpty() ? QList<QUrl>{} : QList<QUrl>{QUrl::fromLocalFile(notes)});
    }

    void saveFailureIsShownUntilASaveWorks()
    {
        const QString blocker = m_dir->filePath(QStringLiteral("settings"));
        QVERIFY(TestSupport::writeFile(blocker, "x"));
        SettingsStore store(blocker + QStringLiteral("/settings.json"));
        FakeScreenshotLocation location;
        Preferences preferences(store, location);
        Fixture f;
        Window w(f, autostartFolder(), &preferences);
        QVERIFY(!w.shows("saveFailedNotice"));

        w.child<QAbstractButton>("snapToEdges")->click();
        QVERIFY(!preferences.snapToEdges());
        QVERIFY(w.shows("saveFailedNotice"));
        const QString notice = w.child("saveFailedNotice")->findChild<QLabel *>()->text();
        QVERIFY2(notice.startsWith("Couldn’t save your settings."), qPrintable(notice));
        // Still failing on the next change: the notice stays.
        QApplication::processEvents();
        w.child<QAbstractButton>("snapToEdges")->click();
        QVERIFY(w.shows("saveFailedNotice"));

        QApplication::processEvents();
        QVERIFY(QFile::remove(blocker));
        w.child<QAbstractButton>("includeAllImages")->click();
        QCOMPARE(store.boolean("includeAllImages"), std::optional<bool>(true));
        QVERIFY(!w.shows("saveFailedNotice"));
    }

    void followsThePaletteItIsGiven()
    {
        Fixture f;
        Window w(f, autostartFolder());
        const auto labelled = [&](const QString &text) {
            for (QLabel *label : w.view->findChildren<QLabel *>()) {
                if (label->text() == text)
                    return label;
            }
            return static_cast<QLabel *>(nullptr);
        };
        QLabel *primary = labelled(QStringLiteral("Make room for your flow."));
        QLabel *secondary = labelled(QStringLiteral("A few preferences. Everything within reach."));
        QVERIFY(primary && secondary);
        // Sampled away from text and controls: the window's left margin, below the header.
        const auto background = [&] {
            return w.view->grab().toImage().pixelColor(4, w.view->height() / 2);
        };

        for (const QPalette &palette : {AppearancePalette::dark(), AppearancePalette::light(),
                                        AppearancePalette::dark()}) {
            w.view->setPalette(palette);
            QCOMPARE(primary->palette().color(QPalette::WindowText), BrimfoldDesign::primary(palette));
            QCOMPARE(secondary->palette().color(QPalette::WindowText),
                     BrimfoldDesign::secondary(palette));
            // Every other role comes from the window.
            QCOMPARE(secondary->palette().color(QPalette::Window), palette.color(QPalette::Window));
            QCOMPARE(background(), palette.color(QPalette::Window));
        }
    }
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
