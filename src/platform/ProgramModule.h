#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <mutex>

// One of the program's own shared objects (text recognition, HEIF decoding), opened only when
// first needed, so that a start which needs neither never maps those libraries. Each module
// exports one factory function; the module stays mapped for the rest of the process once open,
// since the engines behind it keep thread-local state that must outlive any one user.
class ProgramModule final
{
public:
    // `fileName` as built (libbrimfold-ocr.so), looked for in `folders` in order.
    ProgramModule(QString fileName, QByteArray factoryName, QStringList folders = standardFolders());
    ~ProgramModule();

    ProgramModule(const ProgramModule &) = delete;
    ProgramModule &operator=(const ProgramModule &) = delete;

    // The first folder holding the module file; empty when none does. Only looks, never opens.
    QString path() const;

    // Opens the module on the first call, on the calling thread, and gives its factory; null
    // when the module is missing, cannot be opened or lacks the factory (said once, as a
    // warning). Safe to call from several threads at once; the answer never changes afterwards.
    void *factory();
    template <typename Function>
    Function *factoryAs()
    {
        return reinterpret_cast<Function *>(factory());
    }

    // <binary's folder>/../<library folder>/brimfold, where the install puts the modules; and,
    // for a binary running from the build folder (the program, tests, benchmarks), the folder
    // the build puts them in.
    static QStringList standardFolders();

private:
    const QString m_fileName;
    const QByteArray m_factoryName;
    const QStringList m_folders;
    std::once_flag m_opened;
    void *m_handle = nullptr;
    void *m_factory = nullptr;
};
