#include "library/Toasts.h"

#include <QStringList>
#include <QTest>

class TestToasts final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // What a listener sees, in order: a mark tied to a toast must be cleared before the next
    // toast's message appears, and after an expired one is gone.
    void announcementsInOrder()
    {
        Toasts toasts;
        QStringList seen;
        connect(&toasts, &Toasts::messageChanged, this,
                [&] { seen.append(QStringLiteral("message:") + toasts.message().value_or(QStringLiteral("-"))); });
        connect(&toasts, &Toasts::styleChanged, this,
                [&] { seen.append(QStringLiteral("style:%1").arg(int(toasts.style()))); });
        connect(&toasts, &Toasts::ended, this, [&] { seen.append(QStringLiteral("ended")); });
        const auto take = [&] { return std::exchange(seen, {}); };

        toasts.show(QStringLiteral("Pinned"));
        QCOMPARE(take(), (QStringList{"ended", "message:Pinned"}));
        QVERIFY(toasts.isConsistent());

        toasts.show(QStringLiteral("Moved"), Toasts::trashDuration, ToastStyle::trash);
        QCOMPARE(take(), (QStringList{QStringLiteral("style:%1").arg(int(ToastStyle::trash)), "ended",
                                      "message:Moved"}));
        // The same words again are a new toast all the same.
        toasts.show(QStringLiteral("Moved"), Toasts::trashDuration, ToastStyle::trash);
        QCOMPARE(take(), QStringList{"ended"});
        QVERIFY(toasts.isConsistent());

        toasts.setDurationScale(0.01);
        toasts.show(QStringLiteral("Copied"));
        take();
        QTRY_VERIFY(!toasts.message());
        QCOMPARE(take(), (QStringList{"message:-", "ended"}));
        QVERIFY(toasts.isConsistent());
    }

    // A replaced toast's time does not run out on its successor.
    void replacementGetsItsOwnDuration()
    {
        Toasts toasts;
        toasts.setDurationScale(0.01);
        toasts.show(QStringLiteral("short")); // 26 ms
        toasts.setDurationScale(1);
        toasts.show(QStringLiteral("long")); // 2.6 s
        // Timers fire in the order of their deadlines: by the time this one ends, the short
        // toast's time has run out too.
        Toasts later;
        later.setDurationScale(0.01);
        later.show(QStringLiteral("later"), 2 * Toasts::defaultDuration);
        QTRY_VERIFY(!later.message());
        QCOMPARE(toasts.message(), QStringLiteral("long"));
        QVERIFY(toasts.isConsistent());
    }
};

QTEST_GUILESS_MAIN(TestToasts)
#include "tst_toasts.moc"
