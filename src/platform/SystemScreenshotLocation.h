#pragma once

#include "platform/ScreenshotLocation.h"

#include <QStringList>

// The screenshot folder of the Linux desktop:
// 1. the save location of KDE's screenshot tool ("spectaclerc" in the configuration
//    folders, the user's own first), as a path;
// 2. else "Screenshots" inside the user's pictures folder, when that folder exists;
// 3. else none.
class SystemScreenshotLocation final : public ScreenshotLocation
{
public:
    // Reads the user's and the system's configuration folders and pictures folder.
    SystemScreenshotLocation();
    // For tests: the tool's configuration files, most important first, and the pictures folder.
    SystemScreenshotLocation(const QStringList &toolConfigFiles, const QString &picturesFolder);

    std::optional<QString> location() const override;

    // The save location one configuration file gives, as a path; none when the file
    // is missing or names no local folder.
    static std::optional<QString> toolSaveLocation(const QString &configFile);

private:
    QStringList m_toolConfigFiles;
    QString m_picturesFolder;
};
