#include "zeb_app_delegate.h"

#include "host_main.h"

wxIMPLEMENT_APP_NO_MAIN(ZebAppDelegate);

int main(int argc, char** argv) { return runHost("PudletMac", argc, argv); }
