// Settings of wxWidgets that hold for the whole process, made once at start-up
// before any window exists (the window tests make them the same way).
#pragma once

// Takes the Simplified Chinese locale whatever the environment names (see
// ui/common/chinese_locale.h; the environment has named it already, before
// the toolkit started), registers the PNG decoder (the icon's
// pictures) and keeps wx's file system from asking the desktop's MIME
// database for the type of local files: that database maps .htm to
// application/xhtml+xml, and the help view would show the document's source
// instead of the page.
void SetUpProcess();
