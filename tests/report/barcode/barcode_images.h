#pragma once
// Renders barcodes through QPainterCanvas onto white images, saves them under
// TEST_OUTPUT_DIR and runs the outside tools (scanners, zint) on them.

#include "report/barcode/barcode.h"

#include "platform/gdi/gui_app.h"
#include "platform/gdi/qpainter_canvas.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace barcode_test {

inline bool ToolAvailable(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

inline QString OutputPath(const QString& fileName) {
    const QString dir = QStringLiteral(TEST_OUTPUT_DIR) + "/barcode";
    QDir().mkpath(dir);
    return dir + "/" + fileName;
}

// Lays `parts` out one after the other in reading direction (a main symbol and its
// add-on, or just one barcode), `gap` units apart, rotated by `angle` (0, 90, 180 or
// 270) with `margin` white units all round, and paints them.
inline QImage RenderRow(const std::vector<TfrBarcode*>& parts, int angle, int gap, int margin) {
    gdi_test::EnsureGuiApplication();
    std::vector<int> widths;
    int length = 0;
    int height = 0;
    for (TfrBarcode* b : parts) {
        widths.push_back(b->Width());
        length += widths.back();
        height = std::max(height, b->Height());
    }
    length += gap * static_cast<int>(parts.size() - 1);
    const bool upright = angle == 90 || angle == 270;
    QImage image(upright ? height + 2 * margin : length + 2 * margin,
                 upright ? length + 2 * margin : height + 2 * margin, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        gdi::QPainterCanvas canvas(&image);
        int offset = 0;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            TfrBarcode* b = parts[i];
            const int fromEnd = length - offset - widths[i]; // reading right-to-left/upwards
            b->SetAngle(angle);
            b->SetLeft(margin + (angle == 0 ? offset : angle == 180 ? fromEnd : 0));
            b->SetTop(margin + (angle == 90 ? fromEnd : angle == 270 ? offset : 0));
            b->DrawBarcode(canvas);
            offset += widths[i] + gap;
        }
    }
    return image;
}

// Runs a tool and returns its standard output split into lines.
inline std::vector<std::string> RunTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    std::vector<std::string> lines;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return lines;
    }
    const QString out = QString::fromLatin1(process.readAllStandardOutput());
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts))
        lines.push_back(line.trimmed().toStdString());
    return lines;
}

} // namespace barcode_test
