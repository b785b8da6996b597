#include "core/DataFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace DataFolders {

QStringList all()
{
    QStringList folders;
    const auto add = [&folders](const QString &folder) {
        const QString clean = QDir::cleanPath(folder);
        if (!folder.isEmpty() && !folders.contains(clean))
            folders.append(clean);
    };
    // Installed: <prefix>/bin/brimfold and <prefix>/share/brimfold, wherever the prefix was moved.
    if (QCoreApplication::instance())
        add(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/brimfold"));
    add(QString::fromUtf8(BRIMFOLD_DATA_DIR));
    for (const QString &data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        add(data + QStringLiteral("/brimfold"));
    add(QString::fromUtf8(BRIMFOLD_SOURCE_DATA_DIR));
    return folders;
}

QStringList candidates(const QString &name)
{
    QStringList paths;
    for (const QString &folder : all())
        paths.append(folder + QLatin1Char('/') + name);
    return paths;
}

QString find(const QString &name)
{
    for (const QString &path : candidates(name)) {
        const QFileInfo file(path);
        if (file.isFile())
            return file.canonicalFilePath();
    }
    return {};
}

} // namespace DataFolders
