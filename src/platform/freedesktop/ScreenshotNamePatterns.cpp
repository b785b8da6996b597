#include "platform/freedesktop/ScreenshotNamePatterns.h"

#include "platform/freedesktop/ScreenshotNames.h"

#include <QLoggingCategory>
#include <QVarLengthArray>

Q_LOGGING_CATEGORY(lcNamePatterns, "brimfold.platform.names", QtWarningMsg)

namespace {

const QList<ScreenshotNamePattern> &dateFirstTranslations()
{
    static const QList<ScreenshotNamePattern> patterns = [] {
        QList<ScreenshotNamePattern> list;
        for (const ScreenshotNames::Template &entry : ScreenshotNames::templates()) {
            std::optional<ScreenshotNamePattern> pattern;
            if (entry.tool == QLatin1String("gnome-shell"))
                pattern = ScreenshotNamePattern::gnomeShell(entry.text);
            else if (entry.tool == QLatin1String("gnome-screenshot"))
                pattern = ScreenshotNamePattern::gnomeScreenshot(entry.text);
            if (pattern)
                list.append(std::move(*pattern));
            else
                qCDebug(lcNamePatterns) << "template not understood" << entry.language << entry.tool << entry.text;
        }
        return list;
    }();
    return patterns;
}

} // namespace

ScreenshotNamePatterns::ScreenshotNamePatterns()
    : m_patterns(dateFirstTranslations())
{
}

ScreenshotNamePatterns::ScreenshotNamePatterns(const QList<ScreenshotNamePattern> &toolPatterns)
    : m_patterns(dateFirstTranslations())
{
    m_patterns.append(toolPatterns);
}

bool ScreenshotNamePatterns::matchesComposed(QStringView fileName) const
{
    // Every tool appends the extension after the last dot.
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QStringView base = dot > 0 ? fileName.first(dot) : fileName;
    for (const ScreenshotNamePattern &pattern : m_patterns) {
        if (pattern.matches(base))
            return true;
    }
    return false;
}

bool ScreenshotNamePatterns::matches(QStringView fileName) const
{
    if (matchesComposed(fileName))
        return true;
    const QString composed = fileName.toString().normalized(QString::NormalizationForm_C);
    return composed != fileName && matchesComposed(composed);
}

bool ScreenshotNamePatterns::matchesAscii(const char *fileName, std::size_t length) const
{
    QVarLengthArray<char16_t, 256> wide(qsizetype(length), u'\0');
    for (std::size_t i = 0; i < length; ++i)
        wide[qsizetype(i)] = char16_t(static_cast<unsigned char>(fileName[i]));
    return matchesComposed(QStringView(wide.constData(), wide.size()));
}
