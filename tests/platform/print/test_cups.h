#pragma once
// The tests' printers live in a private CUPS daemon (scripts/cups-start):
// VelkorPDF with the stock PDF printer description and VelkorLabel, a 203 dpi
// label printer with margins and paper sources. Tests that need them fail,
// never skip, when they are not there.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPrinterInfo>

#include "platform/print/system_printer.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace testcups {

inline const char* const kPdfQueue = "VelkorPDF";
inline const char* const kLabelQueue = "VelkorLabel";

inline std::string CupsDir() {
    return std::string(TEST_OUTPUT_DIR) + "/../cups";
}

// Without CUPS_SERVER in the environment, use the daemon of this build tree.
// Runs before main, so before anything in the process has asked CUPS.
inline bool PointAtTestCups() {
    if (std::getenv("CUPS_SERVER")) return true;
    std::ifstream file(CupsDir() + "/socket");
    std::string socket;
    if (std::getline(file, socket) && !socket.empty()) setenv("CUPS_SERVER", socket.c_str(), 0);
    return true;
}
inline const bool kPointedAtTestCups = PointAtTestCups();

// Painting on a printer needs fonts, which need a GUI application.
inline void EnsureGuiApp() {
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "print_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: at exit it would go after the window system's own
    // statics and crash the process.
    new QGuiApplication(argc, argv);
}

inline ::testing::AssertionResult TestPrintersReady() {
    const QStringList names = QPrinterInfo::availablePrinterNames();
    if (names.contains(QString::fromLatin1(kPdfQueue)) &&
        names.contains(QString::fromLatin1(kLabelQueue)))
        return ::testing::AssertionSuccess();
    const char* server = std::getenv("CUPS_SERVER");
    return ::testing::AssertionFailure()
           << "the test printers " << kPdfQueue << " and " << kLabelQueue
           << " are not in CUPS (CUPS_SERVER=" << (server ? server : "unset")
           << ", printers seen: " << names.join(", ").toStdString()
           << "). Start the tests' CUPS daemon as root with scripts/cups-start (same BUILD_DIR "
              "as this build) and export the CUPS_SERVER line it prints, or run scripts/test, "
              "which starts and stops it.";
}

// The printer description CUPS holds for a queue, fetched from the server.
inline std::string FetchPpd(const std::string& queue) {
    const char* server = std::getenv("CUPS_SERVER");
    if (!server || server[0] != '/') return {};
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (std::strlen(server) >= sizeof addr.sun_path) return {};
    std::strcpy(addr.sun_path, server);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return {};
    std::string reply;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string request =
            "GET /printers/" + queue + ".ppd HTTP/1.0\r\nHost: localhost\r\n\r\n";
        if (::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            char buffer[4096];
            ssize_t n;
            while ((n = ::read(fd, buffer, sizeof buffer)) > 0) reply.append(buffer, n);
        }
    }
    ::close(fd);
    const size_t body = reply.find("\r\n\r\n");
    if (reply.rfind("HTTP/1.", 0) != 0 || reply.find(" 200 ") > reply.find("\r\n") ||
        body == std::string::npos)
        return {};
    return reply.substr(body + 4);
}

// What the tests compute geometry from: sizes and imageable areas in points.
struct Ppd {
    struct Page {
        double width = 0, height = 0;
        double llx = 0, lly = 0, urx = 0, ury = 0;
    };
    std::map<std::string, Page> pages;
    std::string defaultPage;
    int dpi = 0;
    double hwLeft = 0, hwBottom = 0, hwRight = 0, hwTop = 0;
    int pageCount = 0;
};

inline std::string PpdKey(const std::string& line, const std::string& keyword) {
    std::string key = line.substr(keyword.size());
    return key.substr(0, key.find_first_of("/:"));
}

inline std::string PpdValue(const std::string& line) {
    const size_t a = line.find('"');
    const size_t b = line.rfind('"');
    if (a != std::string::npos && b > a) return line.substr(a + 1, b - a - 1);
    const size_t colon = line.find(": ");
    return colon == std::string::npos ? std::string() : line.substr(colon + 2);
}

inline Ppd ParsePpd(const std::string& text) {
    Ppd ppd;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream v(PpdValue(line));
        if (line.rfind("*PaperDimension ", 0) == 0) {
            Ppd::Page& p = ppd.pages[PpdKey(line, "*PaperDimension ")];
            v >> p.width >> p.height;
        } else if (line.rfind("*ImageableArea ", 0) == 0) {
            Ppd::Page& p = ppd.pages[PpdKey(line, "*ImageableArea ")];
            v >> p.llx >> p.lly >> p.urx >> p.ury;
        } else if (line.rfind("*PageSize ", 0) == 0) {
            ++ppd.pageCount;
        } else if (line.rfind("*DefaultPageSize:", 0) == 0) {
            v >> ppd.defaultPage;
        } else if (line.rfind("*DefaultResolution:", 0) == 0) {
            v >> ppd.dpi;
        } else if (line.rfind("*HWMargins:", 0) == 0) {
            v >> ppd.hwLeft >> ppd.hwBottom >> ppd.hwRight >> ppd.hwTop;
        }
    }
    return ppd;
}

// Device pixels of a page the way a driver states them: sizes and imageable
// area in points at the printer's resolution; landscape turns the sheet so
// that its bottom edge is on the left.
inline print::DeviceCaps Expected(double width, double height, double left, double bottom,
                                  double right, double top, int dpi, bool landscape) {
    if (landscape) {
        std::swap(width, height);
        const double l = left, b = bottom, r = right, t = top;
        left = b, top = l, right = t, bottom = r;
    }
    auto px = [dpi](double pt) { return static_cast<int>(std::lround(pt * dpi / 72.0)); };
    return {px(width),
            px(height),
            px(left),
            px(top),
            px(width - left - right),
            px(height - top - bottom),
            dpi,
            dpi};
}

inline print::DeviceCaps Expected(const Ppd::Page& p, int dpi, bool landscape) {
    return Expected(p.width, p.height, p.llx, p.lly, p.width - p.urx, p.height - p.ury, dpi,
                    landscape);
}

} // namespace testcups
