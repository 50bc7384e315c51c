#include "app/batch_mode.h"

#include "app/data_paths.h"
#include "app/label_job.h"
#include "app/statements.h"
#include "app/text_util.h"
#include "platform/db/ado_connection.h"
#include "platform/db/ado_query.h"
#include "platform/gdi/font_substitution.h"
#include "platform/print/system_printer.h"
#include "platform/rtl/string_list.h"
#include "report/barcode/barcode_view.h"
#include "report/core/process_state.h"
#include "report/engine/component_registry.h"
#include "report/engine/db_dataset.h"
#include "report/engine/expression_evaluator.h"
#include "report/engine/memo_layout.h"
#include "report/engine/prepared_pages.h"
#include "report/engine/std_function_library.h"
#include "report/model/report.h"
#include "report/model/view.h"
#include "report/output/print_report.h"
#include "report/printer/printer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <unistd.h>
#include <vector>

namespace {

void Say(const QString& text) {
    const QByteArray bytes = (QStringLiteral("labelprint: ") + text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

// A whole number in [low, high], or none.
std::optional<int> WholeNumber(const QString& text, int low, int high) {
    bool ok = false;
    const qlonglong n = text.trimmed().toLongLong(&ok);
    if (!ok || n < low || n > high) return std::nullopt;
    return static_cast<int>(n);
}

// frDBDataSet1 with empty label positions before the first record: the
// band walks `Blanks` extra records on the first one while the objects are
// hidden, so a partly used sheet is filled from the position asked for,
// whatever the template's columns and rows.
class TLeadingBlanksDataSet : public TfrDBDataSet {
public:
    using TfrDBDataSet::TfrDBDataSet;
    int Blanks = 0;
    bool InBlank() const { return left_ > 0; }
    void First() override {
        TfrDBDataSet::First();
        // Nothing to print, nothing to skip.
        left_ = TfrDBDataSet::Eof() ? 0 : Blanks;
    }
    void Next() override {
        if (left_ > 0) {
            --left_;
            TfrDataset::Next();
        } else {
            TfrDBDataSet::Next();
        }
    }

private:
    int left_ = 0;
};

// Progress on a terminal, one line rewritten in place.
class ProgressLine {
public:
    ProgressLine() : enabled_(isatty(STDERR_FILENO) == 1) {}
    void Show(const QString& text) {
        if (!enabled_) return;
        const QByteArray bytes = (QStringLiteral("\r\033[K") + text).toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        std::fflush(stderr);
        shown_ = true;
    }
    void End() {
        if (!shown_) return;
        std::fputs("\n", stderr);
        shown_ = false;
    }

private:
    bool enabled_;
    bool shown_ = false;
};

// The engine's message boxes and script dialogs, answered on standard error
// for the run; put back afterwards.
class BatchHooks {
public:
    explicit BatchHooks(std::vector<QString>& shown) : kept_(frGuiHooks()) {
        TfrGuiHooks& hooks = frGuiHooks();
        hooks = {};
        hooks.ShowError = [&shown](const std::string& text, const std::string&) {
            shown.push_back(FromCp936(text));
        };
        hooks.AskPassword = [](std::string&) {
            Say(QStringLiteral("the template is protected by a password; batch mode cannot ask "
                               "for it"));
            return false;
        };
        hooks.AskYesNo = [](const std::string& text, const std::string&) {
            Say(QStringLiteral("question \"%1\" answered No (batch mode)").arg(FromCp936(text)));
            return false;
        };
        hooks.InputBox = [](const std::string&, const std::string& prompt,
                            const std::string& defaultText) {
            Say(QStringLiteral("INPUT \"%1\" answered with its default \"%2\" (batch mode)")
                    .arg(FromCp936(prompt), FromCp936(defaultText)));
            return defaultText;
        };
        hooks.MessageBox = [](const std::string& text, const std::string&, int flags) {
            const int answer = frFirstButtonOf(flags);
            Say(QStringLiteral("MESSAGEBOX \"%1\" answered with its first button (%2) (batch mode)")
                    .arg(FromCp936(text))
                    .arg(answer));
            return answer;
        };
        hooks.Now = kept_.Now;
    }
    ~BatchHooks() { frGuiHooks() = kept_; }
    BatchHooks(const BatchHooks&) = delete;
    BatchHooks& operator=(const BatchHooks&) = delete;

private:
    TfrGuiHooks kept_;
};

bool SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString NameList(const std::vector<std::string>& names) {
    QStringList list;
    for (const std::string& n : names) list << FromCp936(n);
    return list.join(QStringLiteral(", "));
}

bool Contains(const std::vector<std::string>& names, const QString& name) {
    for (const std::string& n : names)
        if (SameName(FromCp936(n), name)) return true;
    return false;
}

// Makes the named queue the report printer, or none for the PDF file
// (the virtual printer: the file's pages do not depend on this machine's
// printers). False when there is no such queue.
bool UsePrinter(const QString& queue) {
    TfrPrinter& printer = ReportPrinter();
    printer.AttachPrinter(&print::Printer());
    if (queue.isEmpty()) {
        printer.SelectPrinter(printer.VirtualPrinterIndex);
        return true;
    }
    const int index = printer.PrinterNames.IndexOf(ToCp936(queue));
    if (index < 0 || index == printer.VirtualPrinterIndex) return false;
    printer.SelectPrinter(index);
    return true;
}

} // namespace

QString BatchUsage() {
    return QStringLiteral(
        "Usage: labelprint --db FILE [--password W] --table T --barcode FIELD --name FIELD\n"
        "                  [--find-barcode X] [--find-name Y] [--template FILE]\n"
        "                  (--pdf OUT.pdf | --print QUEUE) [--copies N] [--pages RANGE]\n"
        "                  [--first N]\n"
        "       labelprint [DATABASE | --sample]      (the main window)\n"
        "\n"
        "Prints one label per record of a table of an Access (.mdb, .accdb) or SQLite\n"
        "database, without a window.\n"
        "\n"
        "  --db FILE           the database file\n"
        "  --password W        its database password\n"
        "  --table T           the table\n"
        "  --barcode FIELD     the field printed as the barcode\n"
        "  --name FIELD        the field printed as the label name\n"
        "  --find-barcode X    only records whose barcode contains X\n"
        "  --find-name Y       only records whose name contains Y\n"
        "  --template FILE     the label template (default: Print.frf beside the program\n"
        "                      or in its installed data folder)\n"
        "  --pdf OUT.pdf       write the labels into a PDF file\n"
        "  --print QUEUE       print them on a CUPS print queue\n"
        "  --copies N          copies of every page (default 1)\n"
        "  --pages RANGE       only these pages, e.g. 1,3,5-12 or 7-\n"
        "  --first N           start on label position N of the first sheet, counted\n"
        "                      across, then down (default 1)\n"
        "  --help              this text\n"
        "\n"
        "Exit codes: 0 done, 1 usage error, 2 database or template error, 3 printing error.\n");
}

BatchParseResult ParseBatchArguments(const QStringList& args) {
    BatchParseResult result;
    BatchOptions o;
    const auto fail = [&result](const QString& error) {
        result.Error = error;
        return result;
    };
    std::map<QString, QString*> texts = {
        {QStringLiteral("--db"), &o.Database}, {QStringLiteral("--password"), &o.Password},
        {QStringLiteral("--table"), &o.Table}, {QStringLiteral("--barcode"), &o.Barcode},
        {QStringLiteral("--name"), &o.Name},   {QStringLiteral("--template"), &o.Template},
        {QStringLiteral("--pdf"), &o.Pdf},     {QStringLiteral("--print"), &o.Queue},
        {QStringLiteral("--pages"), &o.Pages},
    };
    QStringList seen;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString option = args[i];
        std::optional<QString> inlineValue;
        if (const qsizetype eq = option.indexOf(QLatin1Char('='));
            option.startsWith(QLatin1String("--")) && eq > 0) {
            inlineValue = option.mid(eq + 1);
            option = option.left(eq);
        }
        if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            o.Help = true;
            continue;
        }
        if (!option.startsWith(QLatin1String("--")))
            return fail(QStringLiteral("unexpected argument \"%1\"").arg(args[i]));
        const bool known = texts.count(option) > 0 || option == QLatin1String("--find-barcode") ||
                           option == QLatin1String("--find-name") ||
                           option == QLatin1String("--copies") ||
                           option == QLatin1String("--first");
        if (!known) return fail(QStringLiteral("unknown option %1").arg(option));
        if (seen.contains(option)) return fail(QStringLiteral("%1 given twice").arg(option));
        seen << option;
        QString value;
        if (inlineValue) {
            value = *inlineValue;
        } else {
            if (i + 1 >= args.size()) return fail(QStringLiteral("%1 needs a value").arg(option));
            value = args[++i];
        }
        if (auto it = texts.find(option); it != texts.end()) {
            *it->second = value;
        } else if (option == QLatin1String("--find-barcode")) {
            o.FindBarcode = TrimText(value);
        } else if (option == QLatin1String("--find-name")) {
            o.FindName = TrimText(value);
        } else if (option == QLatin1String("--copies")) {
            const auto n = WholeNumber(value, 1, 9999);
            if (!n)
                return fail(QStringLiteral("--copies takes a number from 1 to 9999, not \"%1\"")
                                .arg(value));
            o.Copies = *n;
        } else {
            const auto n = WholeNumber(value, 1, 100000);
            if (!n)
                return fail(QStringLiteral("--first takes a label position from 1 on, not \"%1\"")
                                .arg(value));
            o.First = *n;
        }
    }
    if (o.Help) {
        result.Options = o;
        return result;
    }
    // The same trimming the window applies to what is typed and chosen.
    o.Password = TrimText(o.Password);
    o.Table = TrimText(o.Table);
    o.Barcode = TrimText(o.Barcode);
    o.Name = TrimText(o.Name);
    const std::pair<const char*, QString*> required[] = {{"--db", &o.Database},
                                                         {"--table", &o.Table},
                                                         {"--barcode", &o.Barcode},
                                                         {"--name", &o.Name}};
    for (const auto& [name, value] : required)
        if (value->isEmpty())
            return fail(QStringLiteral("%1 is required").arg(QLatin1String(name)));
    if (o.Pdf.isEmpty() == o.Queue.isEmpty())
        return fail(QStringLiteral("give one of --pdf FILE and --print QUEUE"));
    if (!o.Pages.isEmpty()) {
        try {
            ParsePageNumbers(ToCp936(o.Pages), 1);
        } catch (const std::exception&) {
            return fail(QStringLiteral("--pages takes page numbers such as 1,3,5-12, not \"%1\"")
                            .arg(o.Pages));
        }
    }
    result.Options = o;
    return result;
}

bool IsBatchCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "-h" || (a.rfind("--", 0) == 0 && a != "--sample")) return true;
    }
    return false;
}

int RunBatch(const BatchOptions& o) {
    if (o.Help) {
        std::fputs(BatchUsage().toUtf8().constData(), stdout);
        return kBatchDone;
    }
    std::vector<QString> shown; // the engine's messages during the run
    BatchHooks hooks(shown);
    const auto sayShown = [&shown] {
        for (const QString& m : shown) Say(m);
        shown.clear();
    };

    // The database, as the window connects to it.
    if (!QFileInfo(o.Database).isFile()) {
        Say(QStringLiteral("请先选择数据库的所在路径: %1").arg(o.Database));
        return kBatchDataError;
    }
    db::TADOConnection connection;
    db::TADOQuery query(&connection);
    TLeadingBlanksDataSet dataSet("frDBDataSet1");
    TfrReport report;
    TfrComponentContainer form("frmPrint", TfrContainerKind::Form);
    BindLabelReport(form, query, dataSet, report);
    connection.SetConnectionString(ToCp936(LabelConnectionString(o.Database, o.Password)));
    std::vector<std::string> tables;
    try {
        connection.Open();
        tables = connection.GetTableNames();
    } catch (const std::exception& e) {
        Say(QStringLiteral(
                "该数据库文件可能被以独占方式打开了，或是该数据库的密码有误，请您重新输入 "
                "(%1: %2)")
                .arg(o.Database, FromCp936(e.what())));
        return kBatchDataError;
    }
    if (!Contains(tables, o.Table)) {
        Say(QStringLiteral("%1 has no table \"%2\" (its tables: %3)")
                .arg(o.Database, o.Table, NameList(tables)));
        return kBatchDataError;
    }
    try {
        query.SetSQL(ToCp936(TableStatement(o.Table)));
        query.Open();
        const std::vector<std::string> fields = query.GetFieldNames();
        query.Close();
        for (const QString* field : {&o.Barcode, &o.Name})
            if (!Contains(fields, *field)) {
                Say(QStringLiteral("table \"%1\" has no field \"%2\" (its fields: %3)")
                        .arg(o.Table, *field, NameList(fields)));
                return kBatchDataError;
            }
        query.SetSQL(
            ToCp936(RecordsStatement(o.Table, o.Barcode, o.Name, o.FindBarcode, o.FindName)));
        query.Open();
    } catch (const std::exception& e) {
        Say(FromCp936(e.what()));
        return kBatchDataError;
    }
    if (query.RecordCount() == 0) {
        Say(QStringLiteral("no records to print; nothing written"));
        return kBatchDataError;
    }

    // The template.
    const QString templatePath =
        o.Template.isEmpty()
            ? DataFilePath(QCoreApplication::applicationDirPath() + QStringLiteral("/Print.frf"))
            : o.Template;
    if (!QFileInfo(templatePath).isFile() || !report.LoadTemplateFile(ToCp936(templatePath))) {
        Say(QStringLiteral("找不到标签模板: %1").arg(templatePath));
        return kBatchDataError;
    }
    if (!shown.empty()) {
        sayShown();
        Say(QStringLiteral("the label template %1 could not be read").arg(templatePath));
        return kBatchDataError;
    }

    // The printer the pages are laid out for, before they are built.
    try {
        if (!UsePrinter(o.Queue)) {
            Say(QStringLiteral("no print queue named \"%1\"").arg(o.Queue));
            return kBatchPrintError;
        }
    } catch (const std::exception& e) {
        Say(QStringLiteral("cannot use print queue \"%1\": %2").arg(o.Queue, FromCp936(e.what())));
        return kBatchPrintError;
    }

    // The build, with the window's before-print rule; records whose barcode
    // cannot print are named afterwards, once each.
    dataSet.Blanks = o.First - 1;
    std::vector<TfrView*> hidden;
    std::map<int, std::pair<QString, QString>> unprintable; // record number -> name, why
    report.OnBeforePrint = [&](rtl::TStringList& memo, TfrView& view) {
        if (dataSet.InBlank()) {
            if (view.Visible) {
                view.Visible = false;
                hidden.push_back(&view);
            }
            return;
        }
        for (TfrView* v : hidden) v->Visible = true;
        hidden.clear();
        FillLabelBarcode(query, memo, view);
        auto* barcode = dynamic_cast<TfrBarCodeView*>(&view);
        if (!barcode || !IsLabelBarcodeObject(view) || unprintable.count(query.RecNo())) return;
        const std::optional<std::string> value = LabelBarcodeValue(query);
        QString why;
        if (!value)
            why = QStringLiteral("no barcode value");
        else if (value->empty())
            why = QStringLiteral("empty barcode value");
        else if (std::string problem =
                     frBarCodeValueProblem(barcode->BarType, barcode->CalcCheckSum, *value);
                 !problem.empty())
            why = QStringLiteral("barcode \"%1\" cannot be encoded: %2")
                      .arg(FromCp936(*value), FromCp936(problem));
        if (!why.isEmpty())
            unprintable[query.RecNo()] = {FromCp936(query.FieldByName("Title").AsString()), why};
    };
    ProgressLine progress;
    const int records = query.RecordCount();
    bool printing = false;
    report.ShowProgress = false;
    report.OnProgress = [&](int n) {
        if (printing)
            progress.Show(QStringLiteral("printing: %1 of %2 pages")
                              .arg(n)
                              .arg(report.PreparedPages->Count()));
        else
            progress.Show(QStringLiteral("%1 of %2 records, %3 pages")
                              .arg(std::min(query.RecNo(), records))
                              .arg(records)
                              .arg(n));
    };

    bool built = false;
    try {
        built = report.BuildPreparedReport();
    } catch (const std::exception& e) {
        progress.End();
        sayShown();
        Say(FromCp936(e.what()));
        return kBatchDataError;
    }
    progress.End();
    if (!built) {
        sayShown();
        Say(QStringLiteral("the labels could not be made from the template %1").arg(templatePath));
        return kBatchDataError;
    }
    if (unprintable.empty()) {
        sayShown();
    } else {
        shown.clear(); // the build's one-line summary of the same records
        for (const auto& [recNo, problem] : unprintable)
            Say(QStringLiteral("record %1 (%2): %3, printed without bars")
                    .arg(recNo)
                    .arg(problem.first, problem.second));
    }
    const int pages = report.PreparedPages->Count();

    printing = true;
    try {
        bool done;
        if (!o.Pdf.isEmpty()) {
            done = PrintBuiltReportToPdf(report, o.Pdf, ToCp936(o.Pages), o.Copies);
        } else {
            TfrPrintRequest request;
            request.PageList = ToCp936(o.Pages);
            request.Copies = o.Copies;
            done = PrintBuiltReport(report, request);
        }
        progress.End();
        sayShown();
        if (!done) {
            Say(QStringLiteral("printing was stopped; nothing printed"));
            return kBatchPrintError;
        }
    } catch (const std::exception& e) {
        progress.End();
        sayShown();
        Say(FromCp936(e.what()));
        return kBatchPrintError;
    }
    if (isatty(STDERR_FILENO) == 1)
        Say(QStringLiteral("%1 labels on %2 pages %3 %4")
                .arg(records)
                .arg(pages)
                .arg(o.Pdf.isEmpty() ? QStringLiteral("sent to") : QStringLiteral("written to"),
                     o.Pdf.isEmpty() ? o.Queue : o.Pdf));
    return kBatchDone;
}

int BatchMain(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const BatchParseResult parsed = ParseBatchArguments(args);
    if (!parsed.Options) {
        Say(parsed.Error);
        std::fputs("Try 'labelprint --help'.\n", stderr);
        return kBatchUsageError;
    }
    if (parsed.Options->Help) return RunBatch(*parsed.Options);

    // Fonts and painting need a GUI application, never a display: batch
    // runs also from a terminal whose display is gone.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // The engine's start-up without the windows.
    gdi::InstallFontSubstitutions();
    frRegisterBarCodeView();
    InstallExpressionEvaluator();
    InstallMemoLayout();
    InitReportPrinter(&print::Printer());
    const int code = RunBatch(*parsed.Options);
    DoneReportPrinter();
    return code;
}
