#include "pudlet_app.h"

#include "host_main.h"

wxIMPLEMENT_APP_NO_MAIN(CPudletApp);

int main(int argc, char** argv) { return runHost("Pudlet", argc, argv); }
