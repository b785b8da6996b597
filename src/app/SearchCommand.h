#pragma once

#include "app/LaunchOptions.h"

// "brimfold --search WORDS…": prints the screenshots the gallery would find, newest first, one
// a line (path, tab, snippet) or as JSON. Asks the running copy when there is one, else reads
// the folder and the text cache itself. Needs no display.
class SearchCommand final
{
public:
    SearchCommand() = delete;

    // Exit status: 0 with matches, 1 with none, 2 on error (one line on standard error).
    static int run(const LaunchOptions &options, int argc, char **argv);
};
