#pragma once
#include <QFont>
#include <QString>

// A window font given as the old form designer did: a face name and a
// character height in pixels.
inline QFont WindowFont(const QString& face, int pixelHeight) {
    QFont f(face);
    f.setPixelSize(pixelHeight);
    return f;
}
