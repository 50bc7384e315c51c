#include "app/app_start.h"
#include "app/batch_mode.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Options other than --sample ask for the batch mode, which needs no display.
    if (IsBatchCommandLine(argc, argv)) return BatchMain(argc, argv);
    QApplication app(argc, argv);
    return RunLabelApplication(app);
}
