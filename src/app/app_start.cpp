#include "app/app_start.h"
#include "app/data_paths.h"

#include "app/frm_print.h"
#include "platform/gdi/font_substitution.h"
#include "platform/settings/settings_store.h"
#include "platform/text/cp936.h"
#include "platform/ui/dialogs.h"
#include "report/barcode/barcode_form.h"
#include "report/barcode/barcode_view.h"
#include "report/engine/expression_evaluator.h"
#include "report/engine/memo_layout.h"
#include "report/model/report.h"
#include "report/output/dialog_page_form.h"
#include "report/output/passw_form.h"
#include "report/output/preview_form.h"
#include "report/output/print_form.h"
#include "report/output/printer_properties_form.h"
#include "report/output/progress_form.h"
#include "report/output/script_dialogs.h"
#include "report/printer/printer.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QUrl>

namespace {

// What a link object on a prepared page names: a web address (with its
// scheme, or starting "www.") or a document or program on this machine.
void OpenLinkTarget(const std::string& target) {
    const QString text = text::Cp936ToQString(target).trimmed();
    const QUrl url(text, QUrl::StrictMode);
    if (url.isValid() && url.scheme().size() > 1)
        QDesktopServices::openUrl(url);
    else if (text.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        QDesktopServices::openUrl(QUrl(QStringLiteral("http://") + text));
    else
        ui::ShellOpen(text);
}

} // namespace

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
    // Expressions and scripts in templates: fields, dictionary variables,
    // functions; memos lay out, wrap and draw their text.
    InstallExpressionEvaluator();
    InstallMemoLayout();
    // The report's own messages (a template it cannot read) as error boxes.
    frGuiHooks().ShowError = [](const std::string& text, const std::string& caption) {
        ui::ShowMessage(QApplication::activeWindow(), ui::MsgKind::Error,
                        text::Cp936ToQString(text), text::Cp936ToQString(caption));
    };
    // Long operations run inside the progress window; a protected template
    // asks for its password.
    InstallProgressForm();
    InstallPasswordForm();
    // INPUT and MESSAGEBOX in templates ask the operator.
    InstallScriptDialogs();
    // Built labels show in the preview; its Print button opens the print
    // dialog, which builds again when another printer changes the paper.
    // A template's dialog pages ask before its report is built.
    InstallDialogPageForm();
    InstallPreviewForm();
    InstallPrintForm([](TfrReport& report) { return report.BuildPreparedReport(); });
    frGuiHooks().ShellOpen = OpenLinkTarget;
    frGuiHooks().AskYesNo = [](const std::string& text, const std::string& caption) {
        return QMessageBox::question(QApplication::activeWindow(), text::Cp936ToQString(caption),
                                     text::Cp936ToQString(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
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
    QString path = DataFilePath(TfrmPrint::ExeFolder() + QStringLiteral("sample.db"));
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i)
        if (!args[i].startsWith(QLatin1String("--"))) path = QFileInfo(args[i]).absoluteFilePath();
    if (QFileInfo(path).isFile()) frmPrint.Edit1->setText(path);
    frmPrint.show();
    return app.exec();
}
