#include "app/LaunchOptions.h"

LaunchOptions LaunchOptions::parse(const QStringList &arguments)
{
    LaunchOptions options;
    // Whole-argument matches only; the program name is never a flag.
    const QStringList flags = arguments.mid(1);
    options.demo = flags.contains(QStringLiteral("--demo"));
    options.demoWelcome = flags.contains(QStringLiteral("--demo-welcome"));
    options.help = flags.contains(QStringLiteral("--help")) || flags.contains(QStringLiteral("-h"));
    options.version = flags.contains(QStringLiteral("--version"));
    const qsizetype at = flags.indexOf(QStringLiteral("--demo-folder"));
    const qsizetype searchAt = flags.indexOf(QStringLiteral("--search"));
    if (searchAt >= 0) {
        options.search = flags.mid(searchAt + 1);
        options.search->removeAll(QStringLiteral("--json"));
    }
    options.json = flags.contains(QStringLiteral("--json"));
    if (options.demo && at >= 0 && at + 1 < flags.size())
        options.demoFolder = flags.at(at + 1);
    return options;
}

QString LaunchOptions::usage()
{
    return QStringLiteral(
        "Usage: brimfold [--help] [--version] [--search WORDS... [--json]]\n"
        "Keeps the screenshots you take within reach: a gallery of your screenshot folder that\n"
        "you search by name and by the words inside the images.\n"
        "\n"
        "Open it with Ctrl+Shift+G (changeable in Settings), the floating button, the tray icon,\n"
        "or by starting brimfold again while it runs.\n"
        "\n"
        "  -h, --help     show this help and exit\n"
        "      --version  show the version and exit\n"
        "      --search WORDS...\n"
        "                 print the screenshots whose name or text holds every word, newest\n"
        "                 first: path, a tab, then the matching line; exit 1 when none match.\n"
        "                 In the path, a backslash, tab, line break or other control character\n"
        "                 is written as \\\\, \\t, \\n, \\r or \\xHH\n"
        "      --json     with --search, print the results as JSON\n"
        "      --demo [--demo-folder PATH [--demo-welcome]]\n"
        "                 a separate copy with its own settings, showing PATH\n");
}
