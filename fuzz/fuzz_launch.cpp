// What a second launch brings: its command line, and the lock folder named by the environment
// ($XDG_CACHE_HOME). Input: lock folder, NUL, then one argument per NUL-separated part.
#include "FuzzSupport.h"
#include "app/LaunchOptions.h"
#include "app/SingleInstance.h"

#include <cstddef>
#include <cstdint>
#include <unistd.h>

namespace {

// The fuzzer's folder name, kept inside the scratch folder: no "..", no absolute path. The names
// are what is worth varying (length, encoding, odd characters), not the depth, so at most four.
QString lockFolderUnder(const QString &root, const QByteArray &name)
{
    QStringList kept;
    for (const QString &part : QFile::decodeName(name).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part != QLatin1String(".") && part != QLatin1String("..") && kept.size() < 4)
            kept.append(part);
    }
    return root + QLatin1Char('/') + kept.join(QLatin1Char('/'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> parts = FuzzSupport::parts(data, size);
    QStringList arguments{QStringLiteral("brimfold")};
    for (qsizetype i = 1; i < parts.size(); ++i)
        arguments.append(QString::fromLocal8Bit(parts.at(i)));

    const LaunchOptions options = LaunchOptions::parse(arguments);
    FuzzSupport::require(!options.demoFolder || options.demo, "a demo folder only with --demo");
    FuzzSupport::require(LaunchOptions::parse(arguments) == options, "parsing is repeatable");

    static const QString root = FuzzSupport::scratchFolder() + QStringLiteral("/locks");
    SingleInstance instance;
    const SingleInstance::Outcome outcome = instance.acquire(options.demo, lockFolderUnder(root, parts.value(0)));
    // Nothing else holds a lock here, so the answer is never "another copy".
    FuzzSupport::require(outcome != SingleInstance::Outcome::HeldElsewhere, "no phantom copy");
    FuzzSupport::require((outcome == SingleInstance::Outcome::Acquired) == (instance.lockDescriptor() >= 0),
                         "a descriptor exactly when the lock is held");
    if (instance.lockDescriptor() >= 0)
        ::close(instance.lockDescriptor());
    QDir(root).removeRecursively();
    return 0;
}
