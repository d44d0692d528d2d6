#include "pudlet_app.h"

wxIMPLEMENT_APP(CPudletApp);
