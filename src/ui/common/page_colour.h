// The pages shown in the main window's pane are dialogs of their own in the
// ordinary dialog colour; only the status strip around them is grey.
#pragma once

class wxWindow;

// Gives `page` the system's dialog background colour (its children without a
// colour of their own show it).
void UseDialogColour(wxWindow* page);
