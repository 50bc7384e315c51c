#include "platform/ui/form_position.h"

#include "platform/settings/settings_store.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace ui {

namespace {

QString Section(const QString& className) {
    return QStringLiteral("Form\\") + className;
}

// The screen area a window at `r` should stay on: the screen holding most of
// it, or the primary screen when it touches none.
QRect AvailableAreaFor(const QRect& r) {
    QRect best;
    qint64 bestArea = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect shared = screen->availableGeometry().intersected(r);
        const qint64 area = static_cast<qint64>(shared.width()) * shared.height();
        if (area > bestArea) {
            bestArea = area;
            best = screen->availableGeometry();
        }
    }
    if (bestArea > 0) return best;
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->availableGeometry() : QRect();
}

} // namespace

void SaveFormPosition(settings::TRegIniFile& store, const QWidget& window,
                      const QString& className) {
    const QString section = Section(className);
    const QRect r = window.isMaximized() ? window.normalGeometry() : window.geometry();
    store.WriteInteger(section, QStringLiteral("XPosition"), r.x());
    store.WriteInteger(section, QStringLiteral("YPosition"), r.y());
    store.WriteInteger(section, QStringLiteral("Width"), r.width());
    store.WriteInteger(section, QStringLiteral("Height"), r.height());
    store.WriteBool(section, QStringLiteral("Maximized"), window.isMaximized());
}

void RestoreFormPosition(const settings::TRegIniFile& store, QWidget& window,
                         const QString& className) {
    const QString section = Section(className);
    if (!store.ReadBool(section, QStringLiteral("Maximized"), true))
        window.setWindowState(window.windowState() & ~Qt::WindowMaximized);
    const QRect current = window.geometry();
    QRect r(store.ReadInteger(section, QStringLiteral("XPosition"), current.x()),
            store.ReadInteger(section, QStringLiteral("YPosition"), current.y()),
            store.ReadInteger(section, QStringLiteral("Width"), current.width()),
            store.ReadInteger(section, QStringLiteral("Height"), current.height()));
    const QRect area = AvailableAreaFor(r.isValid() ? r : QRect(r.topLeft(), QSize(1, 1)));
    if (area.isValid()) {
        // A size from the file is kept within the screen and above the
        // window's own minimum; a window on no screen comes back centred.
        const QSize minimum = window.minimumSize().expandedTo(QSize(1, 1));
        r.setWidth(std::clamp(r.width(), minimum.width(), std::max(minimum.width(), area.width())));
        r.setHeight(
            std::clamp(r.height(), minimum.height(), std::max(minimum.height(), area.height())));
        if (!area.intersects(r)) r.moveCenter(area.center());
        r.moveLeft(
            std::clamp(r.left(), area.left(), std::max(area.left(), area.right() - r.width() + 1)));
        r.moveTop(
            std::clamp(r.top(), area.top(), std::max(area.top(), area.bottom() - r.height() + 1)));
    }
    window.setGeometry(r);
}

} // namespace ui
