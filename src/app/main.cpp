#include "app/app_start.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return RunLabelApplication(app);
}
