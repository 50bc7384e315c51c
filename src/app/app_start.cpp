#include "app/app_start.h"

#include "app/frm_print.h"
#include "platform/gdi/font_substitution.h"
#include "platform/settings/settings_store.h"
#include "platform/text/cp936.h"
#include "platform/ui/dialogs.h"
#include "report/barcode/barcode_form.h"
#include "report/barcode/barcode_view.h"
#include "report/engine/expression_evaluator.h"
#include "report/model/report.h"
#include "report/output/printer_properties_form.h"
#include "report/printer/printer.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>

void InitializeApplication() {
    // Windows face names in windows and templates resolve through our table.
    gdi::InstallFontSubstitutions();
    // Window placement and options are kept under a key fixed before the
    // application sets its own title: made from the program's file name.
    settings::SetSettingsKey(
        QStringLiteral("Software\\Quorbel\\") +
        settings::DefaultTitleFromProgram(QCoreApplication::applicationFilePath()));
    // Label templates hold barcode objects: the kind is known before any
    // template loads, and opens its own editor in the designer.
    frRegisterBarCodeView();
    InstallBarCodeEditor();
    // The engine's printer, with the settings dialog the print dialog offers.
    InstallPrinterPropertiesForm(ReportPrinter());
    // Expressions in templates: fields, dictionary variables and functions.
    InstallExpressionEvaluator();
    // The report's own messages (a template it cannot read) as error boxes.
    frGuiHooks().ShowError = [](const std::string& text, const std::string& caption) {
        ui::ShowMessage(QApplication::activeWindow(), ui::MsgKind::Error,
                        text::Cp936ToQString(text), text::Cp936ToQString(caption));
    };
    // Only the name: a display name would make the window system append it to
    // every window and message-box caption.
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    QGuiApplication::setDesktopFileName(QStringLiteral("labelprint"));
}

int RunLabelApplication(QApplication& app) {
    InitializeApplication();
    TfrmPrint frmPrint;
    // A database named on the command line is offered in the path box;
    // otherwise the bundled sample next to the program, so a first run can
    // connect at once.
    QString path = TfrmPrint::ExeFolder() + QStringLiteral("sample.db");
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i)
        if (!args[i].startsWith(QLatin1String("--"))) path = QFileInfo(args[i]).absoluteFilePath();
    if (QFileInfo(path).isFile()) frmPrint.Edit1->setText(path);
    frmPrint.show();
    return app.exec();
}
