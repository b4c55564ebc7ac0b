// The window program's entry point.
#include "ui/app/mailer_app.h"

wxIMPLEMENT_APP(CMailerApp);
