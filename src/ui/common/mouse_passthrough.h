// Static pictures and labels take no mouse input of their own: what the user
// does over them belongs to the window beneath. wxWidgets gives every child
// window its own mouse events, so such a child hands them on.
#pragma once

class wxWindow;

// From now on, `window` passes its mouse moves and clicks to its parent (with
// positions in the parent's client coordinates) and shows the parent's cursor.
void PassMouseToParent(wxWindow* window);
