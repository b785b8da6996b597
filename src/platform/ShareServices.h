#pragma once

#include <QUrl>

// How a screenshot's file leaves Brimfold for other programs: the share menu's entries and
// revealing the file in the file manager. Each call reports whether the request was handed
// to the desktop; what the other program then does is out of our sight.
class ShareServices
{
public:
    enum class Service { email, openWith, copyFile };

    virtual ~ShareServices() = default;

    // False when the tool behind the entry is missing; the share menu then hides it.
    virtual bool isAvailable(Service service) const = 0;

    // A new mail with the file attached, in the user's mail program.
    virtual bool email(const QUrl &file) = 0;
    // Lets the user pick the program that opens the file.
    virtual bool openWith(const QUrl &file) = 0;
    // Puts the file itself on the clipboard, so a file manager can paste a copy.
    virtual bool copyFile(const QUrl &file) = 0;
    // Shows the file selected in a file-manager window (or at least its folder).
    virtual bool showInFiles(const QUrl &file) = 0;

protected:
    ShareServices() = default;
    ShareServices(const ShareServices &) = default;
    ShareServices &operator=(const ShareServices &) = default;
};
