#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The command-line flags, read once at start and handed to whoever needs them.
struct LaunchOptions final
{
    // "--demo": no single-instance lock, settings in their own suite, gallery shown at start.
    bool demo = false;
    // "--demo-folder PATH", honoured only together with "--demo".
    std::optional<QString> demoFolder;
    // "--demo-welcome": the demo folder is stored but marked not connected.
    bool demoWelcome = false;
    // "--help" / "-h" and "--version": answered on standard output, no window, no display needed.
    bool help = false;
    bool version = false;
    // "--search WORDS…": the words after the flag (none when absent; an empty list when the flag
    // came without words). "--json" anywhere prints the results as JSON.
    std::optional<QStringList> search;
    bool json = false;

    // What --help prints.
    static QString usage();

    static LaunchOptions parse(const QStringList &arguments);

    friend bool operator==(const LaunchOptions &, const LaunchOptions &) = default;
};
