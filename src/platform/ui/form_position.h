#pragma once
// Window placement kept in the settings store, section "Form\" + the
// window's class name: "XPosition", "YPosition", "Width", "Height",
// "Maximized". Restoring never puts a window off every screen or larger
// than the screen it lands on, whatever the file says.

#include <QString>

class QWidget;

namespace settings {
class TRegIniFile;
}

namespace ui {

void SaveFormPosition(settings::TRegIniFile& store, const QWidget& window,
                      const QString& className);
void RestoreFormPosition(const settings::TRegIniFile& store, QWidget& window,
                         const QString& className);

} // namespace ui
