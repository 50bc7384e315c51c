#pragma once
// The system printer: every printer CUPS knows, the current one with its
// settings (a device mode), what its driver offers (papers, paper sources,
// resolutions) and the page geometry in device pixels. It stands where the
// Windows printer object and its device-capability calls stood.

#include "platform/print/device_mode.h"

#include <QPageSize>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class QPainter;

namespace print {

// A bad printer request, such as an index outside the printer list.
class EPrinter : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One paper the printer offers. Codes come from the Windows paper table by
// size; a size without a match, and the printer's own custom-size entry, are
// kCustomPaper.
struct PaperEntry {
    int16_t code = 0;
    QString name;  // the driver's name; empty for the custom-size entry
    int width = 0; // tenths of a millimetre, portrait; 0 for the custom entry
    int height = 0;
    bool custom = false; // the entry that stands for "any size you give"
};

// One paper source (input slot) the printer offers.
struct BinEntry {
    int16_t code = 0;
    QString name;
    QByteArray key; // the CUPS InputSlot choice
};

// The device capabilities of the current paper: the values GetDeviceCaps
// gave for PHYSICALWIDTH/HEIGHT, PHYSICALOFFSETX/Y, HORZRES/VERTRES and
// LOGPIXELSX/Y, all in device pixels (or dots per inch).
struct DeviceCaps {
    int physicalWidth = 0;
    int physicalHeight = 0;
    int physicalOffsetX = 0;
    int physicalOffsetY = 0;
    int horzRes = 0;
    int vertRes = 0;
    int logPixelsX = 0;
    int logPixelsY = 0;
};

// The sheet of a job printed into a file without a printer: its size (the
// way up it is printed), resolution and unprintable edges in device pixels.
struct FileSheet {
    QSizeF sizeMm;
    int dpi = 600;
    int edgeX = 0;
    int edgeY = 0;
};

class SystemPrinter {
public:
    SystemPrinter(); // reads the printer list; the CUPS default is current
    ~SystemPrinter();
    SystemPrinter(const SystemPrinter&) = delete;
    SystemPrinter& operator=(const SystemPrinter&) = delete;

    // Re-reads the printer list from CUPS. The current printer stays current
    // when it is still there, else the default one becomes current.
    void Refresh();

    const QStringList& Printers() const { return printers_; }
    // -1 when no printer is installed.
    int PrinterIndex() const { return index_; }
    // Makes a printer current with its driver's default settings.
    // Throws EPrinter for an index outside the list.
    void SetPrinterIndex(int index);

    // The current printer's names and a copy of its device mode; false when
    // there is no current printer or CUPS no longer knows it.
    bool GetPrinter(QString& device, QString& driver, QString& port, DeviceMode& mode) const;
    // Hands a device mode to the driver, which keeps what it can use: an
    // unknown paper, an impossible custom size, a resolution or source it
    // does not have leave that setting as it was. False without a printer.
    bool SetDeviceMode(const DeviceMode& mode);

    // What the current printer offers; empty without a printer.
    std::vector<PaperEntry> Papers() const;
    std::vector<BinEntry> Bins() const;
    std::vector<int> Resolutions() const;
    bool SupportsCustomSize() const;

    // Geometry of the current paper in the current orientation and
    // resolution; false without a printer.
    bool Caps(DeviceCaps& caps) const;
    // The paper the current settings print on, and its CUPS input slot.
    QPageSize CurrentPageSize() const;
    QByteArray CurrentInputSlot() const;

    // A print job on the current printer with its current settings. The
    // painter works in device pixels with the origin at the corner of the
    // printable area. A job is spooled into a file of its own and handed to
    // CUPS only by EndDoc, so an aborted job never reaches the queue.
    bool Printing() const;
    bool BeginDoc(const QString& title);
    // A job on a sheet given here instead of a printer's: only while an
    // output file is open (printing into a file with no printer behind it).
    bool BeginDoc(const QString& title, const FileSheet& sheet);
    void NewPage();
    // Ends the job and hands it to the queue; false when CUPS refused it or
    // its spool could not be written (nothing is queued then).
    bool EndDoc();
    // Ends the job with nothing printed: CUPS never sees it.
    void AbortDoc();
    QPainter* Painter();
    // The resolution the painter of the running job works in.
    int JobDpiX() const;
    int JobDpiY() const;
    // The CUPS job number EndDoc last handed over; 0 before the first.
    int LastJobId() const { return lastJobId_; }

    // Printing into a PDF file instead of the queue: while the file is open,
    // jobs write their pages into it, each job on the paper current when it
    // began, so a run that changes paper is still one file. Copies are not
    // made in a file; the caller paints them. The file is written beside the
    // target under another name and takes the target's place only when
    // closed, so a failed or cancelled run leaves an existing file alone.
    bool BeginOutputFile(const QString& fileName);
    bool OutputToFile() const { return output_ != nullptr; }
    // Finishes the file; false when it could not be written. A file into
    // which no job printed is not written at all (true).
    bool EndOutputFile();
    void AbortOutputFile();

private:
    struct Device;
    struct Sheet;
    void LoadCurrent();
    bool StartJob(const QString& title, const Sheet& sheet);

    QStringList printers_;
    int index_ = -1;
    std::unique_ptr<Device> current_;
    struct Job;
    std::unique_ptr<Job> job_;
    struct Output;
    std::unique_ptr<Output> output_;
    int lastJobId_ = 0;
};

// The process-wide system printer, made on first use.
SystemPrinter& Printer();

// The ideograph a CJK radical code point stands for (U+2F00-U+2FD5 and
// the radicals of U+2E80-U+2EF3 the fonts draw as ideographs), or 0. Fonts draw both with one
// glyph, and the PDF writer names such a glyph by its lowest code point, the
// radical; text copied from or searched in the file must give the ideograph.
char16_t UnifiedIdeographOfRadical(char16_t codePoint);

} // namespace print
