#include "zeb_app_delegate.h"

wxIMPLEMENT_APP(ZebAppDelegate);
