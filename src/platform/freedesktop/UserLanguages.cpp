#include "platform/freedesktop/UserLanguages.h"

QStringList UserLanguages::fromEnvironment(const QProcessEnvironment &environment)
{
    QString locale;
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environment.value(QLatin1String(variable));
        if (!locale.isEmpty())
            break;
    }
    if (locale.isEmpty() || locale == QLatin1String("C") || locale == QLatin1String("POSIX")
        || locale.startsWith(QLatin1String("C.")))
        return {};
    QStringList languages = environment.value(QStringLiteral("LANGUAGE")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    languages.append(locale);
    return languages;
}

QStringList UserLanguages::variants(QStringView language)
{
    QStringView name = language;
    QStringView modifier;
    if (const qsizetype at = name.indexOf(QLatin1Char('@')); at >= 0) {
        modifier = name.sliced(at);
        name.truncate(at);
    }
    if (const qsizetype dot = name.indexOf(QLatin1Char('.')); dot >= 0)
        name.truncate(dot);
    const qsizetype territory = name.indexOf(QLatin1Char('_'));
    const QStringView base = territory < 0 ? name : name.left(territory);
    QStringList result;
    for (const QString &candidate : {name.toString() + modifier.toString(), name.toString(), base.toString() + modifier.toString(),
                                     base.toString()}) {
        if (!candidate.isEmpty() && !result.contains(candidate))
            result.append(candidate);
    }
    return result;
}
