#pragma once
// The start of both desktop hosts: `--version` is answered before the toolkit
// starts, so it works without a display; anything else goes to wxWidgets.
#include <wx/app.h>

#include <cstdio>
#include <cstring>

#include "pudlet_version.h"

inline int runHost(const char* programName, int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n", programName, PUDLET_VERSION);
        return 0;
    }
    return wxEntry(argc, argv);
}
