#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// Asks the user for a folder without blocking the caller: the answer comes later through the
// completion. The library model uses it to connect the screenshot folder; tests pass a fake.
class FolderPicker
{
public:
    struct Request final
    {
        QString title;
        QString message;
        QString prompt;     // the accept button's text
        QUrl startFolder;   // where the dialog opens
    };

    // Called once, on the main thread, with the chosen folder's path, or none when the user
    // cancelled or chose nothing.
    using Completion = std::function<void(std::optional<QString> folderPath)>;

    virtual ~FolderPicker() = default;

    // Shows the picker for directories only, one selection, and returns at once.
    virtual void chooseFolder(const Request &request, Completion completion) = 0;

protected:
    FolderPicker() = default;
    FolderPicker(const FolderPicker &) = default;
    FolderPicker &operator=(const FolderPicker &) = default;
};
