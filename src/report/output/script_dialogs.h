#pragma once
// INPUT and MESSAGEBOX of the expression language as real windows: the
// engine asks through frGuiHooks().InputBox and MessageBox and has no
// widgets of its own.

#include <QMessageBox>

// The Windows message-box flags MESSAGEBOX takes (buttons in the low four
// bits, the icon in the next four) as Qt's buttons and icon, and a pressed
// Qt button as the identifier MESSAGEBOX answers (1 OK, 2 Cancel, 3 Abort,
// 4 Retry, 5 Ignore, 6 Yes, 7 No).
QMessageBox::StandardButtons frMessageBoxButtons(int flags);
QMessageBox::Icon frMessageBoxIcon(int flags);
int frMessageBoxResult(QMessageBox::StandardButton pressed);

// Installs the input box and the message box behind the GUI hooks.
void InstallScriptDialogs();
