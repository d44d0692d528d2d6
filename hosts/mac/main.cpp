#include "zeb_app_delegate.h"

#include <cstdio>
#include <cstring>

#include "pudlet_version.h"

wxIMPLEMENT_APP_NO_MAIN(ZebAppDelegate);

int main(int argc, char** argv)
{
    // Answered before the toolkit starts, so it works without a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("PudletMac " PUDLET_VERSION);
        return 0;
    }
    return wxEntry(argc, argv);
}
