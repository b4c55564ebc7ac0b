#include "ui/app/show_message.h"

bool AcceptShowWindowMessage(int) { return false; }
