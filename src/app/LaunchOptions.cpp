#include "app/LaunchOptions.h"

LaunchOptions LaunchOptions::parse(const QStringList &arguments)
{
    LaunchOptions options;
    // Whole-argument matches only; the program name is never a flag.
    const QStringList flags = arguments.mid(1);
    options.demo = flags.contains(QStringLiteral("--demo"));
    options.demoWelcome = flags.contains(QStringLiteral("--demo-welcome"));
    const qsizetype at = flags.indexOf(QStringLiteral("--demo-folder"));
    if (options.demo && at >= 0 && at + 1 < flags.size())
        options.demoFolder = flags.at(at + 1);
    return options;
}
