// The interface is Chinese throughout, so the toolkit's own texts (stock
// buttons, the file and folder dialogs, the edits' context menu) and its
// choice of fonts must be Chinese too, whatever language the environment
// names.
#pragma once

// Before the toolkit starts: names Simplified Chinese (zh_CN with UTF-8) in
// the environment's LC_ALL and LANG, which GTK reads as it starts and by
// which it (through fontconfig) picks the fonts that size every window, and
// drops LANGUAGE, whose list gettext would prefer to the locale. Where the
// system has no such locale nothing changes; whether it has.
bool NameChineseLocaleForToolkit();

// After the toolkit has started and before any window: makes zh_CN with
// UTF-8 the process's locale and loads wx's Chinese translations (from
// locale/ beside the program first, where the Windows program carries them,
// then from the system's folders); GTK's follow the locale. Once the fonts are set up for it, LC_ALL and LANG are
// put back as the program was started with them, so that the programs it
// starts (the web browser, the mail program) keep the user's own language. False, leaving the locale as
// it was, where the system has no Chinese locale.
bool UseChineseLocale();
