#pragma once

#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// A Trash that really moves files, into a folder of the test's choosing, so a rescan sees them
// gone; it can be told to fail.
class FakeTrash final : public Trash
{
public:
    enum class Mode { move, fail };

    explicit FakeTrash(const QString &folder)
        : m_folder(folder)
    {
    }

    MoveResult moveToTrash(const QString &path) override
    {
        ++moveCount;
        if (mode == Mode::fail || !QDir().mkpath(m_folder))
            return MoveResult::failed();
        const QString name = QFileInfo(path).fileName();
        QString target = QDir(m_folder).filePath(name);
        for (int n = 1; exists(target); ++n)
            target = QDir(m_folder).filePath(name + QStringLiteral("-%1").arg(n, 4, 10, QLatin1Char('0')));
        if (!QFile::rename(path, target)) // never replaces
            return MoveResult::failed();
        return MoveResult::movedTo(target);
    }

    bool restore(const QString &trashedPath, const QString &originalPath) override
    {
        ++restoreCount;
        if (failRestore || exists(originalPath))
            return false;
        return QFile::rename(trashedPath, originalPath);
    }

    bool exists(const QString &path) const override
    {
        const QFileInfo info(path);
        return info.exists() || info.isSymLink();
    }

    Mode mode = Mode::move;
    bool failRestore = false; // true: restore() fails even onto a free path
    int moveCount = 0;
    int restoreCount = 0;

private:
    QString m_folder;
};
