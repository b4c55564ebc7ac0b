// The interface is Chinese throughout, so the toolkit's own texts (stock
// buttons, the file and folder dialogs, the edits' context menu) must be
// Chinese too, whatever language the environment names.
#pragma once

// Makes Simplified Chinese the process's locale (zh_CN with UTF-8) and loads
// wx's Chinese translations; GTK's follow the locale. The environment's
// LANGUAGE list is dropped, since gettext would prefer it to the locale.
// False, leaving the locale as it was, where the system has no Chinese
// locale. Call once, after the toolkit has started and before any window.
bool UseChineseLocale();
