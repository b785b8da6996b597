#include "platform/ProgramModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <dlfcn.h>

namespace {

Q_LOGGING_CATEGORY(lcModules, "brimfold.modules", QtWarningMsg)

QString binaryFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

} // namespace

ProgramModule::ProgramModule(QString fileName, QByteArray factoryName, QStringList folders)
    : m_fileName(std::move(fileName))
    , m_factoryName(std::move(factoryName))
    , m_folders(std::move(folders))
{
}

ProgramModule::~ProgramModule()
{
    // Opened with RTLD_NODELETE: this only gives back the reference, the code stays mapped.
    if (m_handle)
        dlclose(m_handle);
}

QStringList ProgramModule::standardFolders()
{
    const QString binary = binaryFolder();
    if (binary.isEmpty())
        return {};
    QStringList folders{QDir::cleanPath(binary + QStringLiteral("/../") + QStringLiteral(BRIMFOLD_MODULE_DIR))};
    // Only a binary of the build folder may load from it: an installed program never looks
    // outside its own prefix, whatever exists where it was built.
    const QString build = QStringLiteral(BRIMFOLD_BUILD_DIR);
    if (binary.startsWith(build + QLatin1Char('/'))) {
        const QString built = QStringLiteral(BRIMFOLD_BUILD_MODULE_DIR);
        if (!folders.contains(built))
            folders.append(built);
    }
    return folders;
}

QString ProgramModule::path() const
{
    for (const QString &folder : m_folders) {
        const QString candidate = QDir(folder).filePath(m_fileName);
        if (!folder.isEmpty() && QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

void *ProgramModule::factory()
{
    std::call_once(m_opened, [this] {
        const QString file = path();
        if (file.isEmpty()) {
            qCWarning(lcModules) << m_fileName << "is not installed in" << m_folders;
            return;
        }
        // Every symbol is bound now, so a module built against another library version fails
        // here, not in the middle of its first use; local, so its names never meet the program's.
        m_handle = dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!m_handle) {
            qCWarning(lcModules) << "cannot open" << file << dlerror();
            return;
        }
        m_factory = dlsym(m_handle, m_factoryName.constData());
        if (!m_factory)
            qCWarning(lcModules) << file << "has no" << m_factoryName;
    });
    return m_factory;
}
