#include "settings/ReleaseInfo.h"

#include "core/DataFolders.h"
#include "platform/UrlOpener.h"


#ifndef BRIMFOLD_VERSION
#define BRIMFOLD_VERSION ""
#endif
#ifndef BRIMFOLD_BUILD
#define BRIMFOLD_BUILD ""
#endif
#ifndef BRIMFOLD_RELEASE_LABEL
#define BRIMFOLD_RELEASE_LABEL ""
#endif
#ifndef BRIMFOLD_DISTRIBUTION
#define BRIMFOLD_DISTRIBUTION ""
#endif
#ifndef BRIMFOLD_FEED_URL
#define BRIMFOLD_FEED_URL ""
#endif
#ifndef BRIMFOLD_PUBLIC_KEY
#define BRIMFOLD_PUBLIC_KEY ""
#endif
#ifndef BRIMFOLD_FEEDBACK_EMAIL
#define BRIMFOLD_FEEDBACK_EMAIL ""
#endif
#ifndef BRIMFOLD_DATA_DIR
#define BRIMFOLD_DATA_DIR ""
#endif
#ifndef BRIMFOLD_SOURCE_DATA_DIR
#define BRIMFOLD_SOURCE_DATA_DIR ""
#endif

namespace ReleaseInfo {
namespace {

// An option left empty counts as missing.
std::optional<QString> option(const char *value)
{
    const QString text = QString::fromUtf8(value);
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

} // namespace

QString version()
{
    static const QString value = option(BRIMFOLD_VERSION).value_or(QStringLiteral("0.1.0"));
    return value;
}

QString build()
{
    static const QString value = option(BRIMFOLD_BUILD).value_or(QStringLiteral("\u2014"));
    return value;
}

QString label()
{
    static const QString value = option(BRIMFOLD_RELEASE_LABEL).value_or(QStringLiteral("Beta"));
    return value;
}

bool isLocalDistribution(const QString &distribution)
{
    return distribution != QLatin1String("beta");
}

bool isLocal()
{
    static const bool value = isLocalDistribution(QString::fromUtf8(BRIMFOLD_DISTRIBUTION));
    return value;
}

const ReleaseConfiguration &configuration()
{
    static const ReleaseConfiguration value(option(BRIMFOLD_FEED_URL), option(BRIMFOLD_PUBLIC_KEY),
                                            option(BRIMFOLD_FEEDBACK_EMAIL));
    return value;
}

QString displayVersion()
{
    return version() + QStringLiteral(" · ") + label() + QStringLiteral(" · Build ") + build();
}

QString releaseNotesPath()
{
    return DataFolders::find(QStringLiteral("ReleaseNotes.html"));
}

void showReleaseNotes(UrlOpener &opener)
{
    if (const QString path = releaseNotesPath(); !path.isEmpty())
        opener.open(QUrl::fromLocalFile(path));
}

} // namespace ReleaseInfo
