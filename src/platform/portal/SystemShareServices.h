#pragma once

#include "platform/ShareServices.h"

#include <QObject>
#include <QString>

// The desktop's own ways to hand a file on: xdg-email for mail, the desktop portal's
// application chooser (xdg-open when no portal answers), the clipboard in the form file
// managers paste, and the file manager's ShowItems call (the folder opened when none answers).
//
// Calls return once the request is on its way; D-Bus replies and fallbacks arrive later on
// the main thread.
class SystemShareServices final : public QObject, public ShareServices
{
    Q_OBJECT

public:
    explicit SystemShareServices(QObject *parent = nullptr);

    bool isAvailable(Service service) const override;
    bool email(const QUrl &file) override;
    bool openWith(const QUrl &file) override;
    bool copyFile(const QUrl &file) override;
    bool showInFiles(const QUrl &file) override;

    // The clipboard payload of `copyFile`, also what a file manager's own copy offers.
    static QByteArray gnomeCopiedFiles(const QUrl &file);

private:
    bool openWithFallback(const QUrl &file);

    QString m_xdgEmail;
    QString m_xdgOpen;
};
