// Anyone on the session bus can send the reopen signal, with any path, interface, member and
// arguments. Exactly the one signal, whatever it carries, asks for the gallery; nothing else does.
// Needs a session bus (scripts/fuzz runs under dbus-run-session).
#include "FuzzSupport.h"
#include "core/AppIdentity.h"
#include "platform/portal/ReopenChannel.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QEventLoop>
#include <QTimer>

#include <cstddef>
#include <cstdint>

namespace {

const QString sentinelPath = QStringLiteral("/fuzz");
const QString sentinelInterface = QStringLiteral("app.vellum.fuzz");

// The bus delivers one sender's messages in order, so a second signal sent after the fuzzed one
// marks the moment the fuzzed one has been handled (or ignored).
class Sentinel final : public QObject
{
    Q_OBJECT
public:
    QEventLoop loop;

public Q_SLOTS:
    void arrived() { loop.quit(); }
};

struct Fixture
{
    Fixture()
        : sender(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fuzz-sender")))
    {
        FuzzSupport::require(channel.listen(), "the reopen channel listens (is there a session bus?)");
        QObject::connect(&channel, &ReopenChannel::reopenRequested, &channel, [this] { ++requests; });
        FuzzSupport::require(QDBusConnection::sessionBus().connect(QString(), sentinelPath, sentinelInterface,
                                                                   QStringLiteral("done"), &sentinel,
                                                                   SLOT(arrived())),
                             "the sentinel is heard");
    }

    ReopenChannel channel;
    Sentinel sentinel;
    QDBusConnection sender;
    int requests = 0;
};

// Arguments of every basic type and a few containers, taken from the input a byte at a time.
QVariantList argumentsFrom(const QByteArray &input)
{
    QVariantList arguments;
    qsizetype at = 0;
    const auto take = [&](qsizetype count) {
        const QByteArray taken = input.mid(at, count);
        at += count;
        return taken;
    };
    while (at < input.size() && arguments.size() < 16) {
        const quint8 kind = quint8(input[at++]);
        const QByteArray chunk = take(kind >> 4);
        switch (kind % 8) {
        case 0: arguments.append(QString::fromUtf8(chunk)); break;
        case 1: arguments.append(chunk); break;
        case 2: arguments.append(qint32(quint32(chunk.isEmpty() ? 0 : quint8(chunk.at(0))) * 0x01010101u)); break;
        case 3: arguments.append(!chunk.isEmpty()); break;
        case 4: arguments.append(double(chunk.size()) / 3.0); break;
        case 5: arguments.append(QVariant::fromValue(QDBusVariant(QString::fromLatin1(chunk)))); break;
        case 6: arguments.append(QStringList{QString::fromUtf8(chunk), QString()}); break;
        default: arguments.append(quint64(qHash(chunk))); break;
        }
    }
    return arguments;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Kept for the whole run; the bus connections belong to it.
    new QCoreApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Fixture *const fixture = new Fixture;
    if (size < 1)
        return 0;
    const quint8 route = data[0];
    // Near misses: the parent path, a sibling interface.
    const QString path = (route & 1) ? AppIdentity::objectPath().section(QLatin1Char('/'), 0, -2)
                                     : AppIdentity::objectPath();
    const QString interface = (route & 2) ? AppIdentity::applicationId() + QStringLiteral("x")
                                          : AppIdentity::applicationId();
    const QString member = (route & 4) ? QStringLiteral("reopenGalleryNow") : QStringLiteral("reopenGallery");
    const bool expected = (route & 7) == 0;

    QDBusMessage signal = QDBusMessage::createSignal(path, interface, member);
    signal.setArguments(argumentsFrom(FuzzSupport::bytes(data + 1, size - 1)));
    const int before = fixture->requests;
    FuzzSupport::require(fixture->sender.send(signal), "the signal is sent");
    FuzzSupport::require(fixture->sender.send(QDBusMessage::createSignal(sentinelPath, sentinelInterface,
                                                                         QStringLiteral("done"))),
                         "the sentinel is sent");
    // A signal that never comes back is a hang: let the fuzzer's own timeout report it.
    fixture->sentinel.loop.exec();
    FuzzSupport::require(fixture->requests - before == (expected ? 1 : 0),
                         "only the reopen signal asks for the gallery, once");
    return 0;
}

#include "fuzz_reopen.moc"
