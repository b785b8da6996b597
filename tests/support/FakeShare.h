#pragma once

#include "platform/ShareServices.h"

#include <QList>
#include <QStringList>

// Sharing that records what was asked of it ("email /path", "showInFiles /path", …). Every
// service is offered unless the test lists it as missing or builds it with none offered.
class FakeShare final : public ShareServices
{
public:
    explicit FakeShare(bool offered = true) : m_offered(offered) {}

    bool isAvailable(Service service) const override { return m_offered && !missing.contains(service); }
    bool email(const QUrl &file) override { return record("email", file); }
    bool openWith(const QUrl &file) override { return record("openWith", file); }
    bool copyFile(const QUrl &file) override { return record("copyFile", file); }
    bool showInFiles(const QUrl &file) override { return record("showInFiles", file); }

    QList<Service> missing;
    QStringList calls;

private:
    bool record(const char *call, const QUrl &file)
    {
        calls.append(QLatin1String(call) + QLatin1Char(' ') + file.toLocalFile());
        return true;
    }

    bool m_offered;
};
