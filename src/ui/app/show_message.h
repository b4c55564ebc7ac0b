// The message other programs send the main window to bring it back from the
// notification area: WM_APP + 3 (0x8003), the number the tray menu's 显示窗口
// item has on Windows.
#pragma once

inline constexpr unsigned int kShowWindowMessage = 0x8003;

// From now on, kShowWindowMessage sent or posted to any of this program's
// windows reaches that window as the menu command `command` (which travels
// up to its top-level window). False where the toolkit cannot receive
// messages from other programs (GTK): the tray menu is then the only way back.
bool AcceptShowWindowMessage(int command);
