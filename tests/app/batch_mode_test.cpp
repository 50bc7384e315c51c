// The batch mode end to end: the program itself run on real databases into
// PDF files, read back by a real scanner (zbarimg on pdftoppm's pages) and
// pdftotext, label by label in sheet order.
#include "app/batch_mode.h"
#include "platform/text/cp936.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

const QString kProgram = QStringLiteral(LABELPRINT_PATH);
const QString kSample = QStringLiteral(SAMPLE_DB_PATH);

QString Fixture(const char* name) {
    return QString::fromUtf8(SHARED_FIXTURES_DIR) + QStringLiteral("/access/") +
           QString::fromUtf8(name);
}

struct ProgramRun {
    int ExitCode = -1;
    QString Err;
};

ProgramRun RunProgram(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No display and no platform chosen: the batch mode must manage alone.
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(kProgram, args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardError())};
}

QString Tool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// One label of the A4 sheet (3 x 9 labels of 63.5 x 29.6 mm, 66 mm apart
// across, centred): what the scanner and the text reader find in it.
struct Label {
    QString Code; // empty: no barcode found
    QString Name;
    // Names compare without blanks (text readers split words where the
    // script changes).
    bool operator==(const Label& o) const {
        if (Code != o.Code) return false;
        QString a = Name, b = o.Name;
        a.remove(QLatin1Char(' '));
        b.remove(QLatin1Char(' '));
        return a == b;
    }
};

void PrintTo(const Label& l, std::ostream* os) {
    *os << "{" << l.Code.toStdString() << ", " << l.Name.toStdString() << "}";
}

constexpr int kColumns = 3, kRows = 9;
constexpr double kPitchX = 66.0, kLabelW = 63.5, kLabelH = 29.6;
constexpr double kLeft = (210.0 - kColumns * kLabelW - (kColumns - 1) * (kPitchX - kLabelW)) / 2;
constexpr double kTop = (297.0 - kRows * kLabelH) / 2;
constexpr double kPtPerMm = 72.0 / 25.4;

// Every label position of every page, in sheet order (across, then down).
std::vector<Label> ReadLabels(const QString& pdf) {
    QTemporaryDir dir;
    const int dpi = 150;
    Tool(QStringLiteral("pdftoppm"),
         {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-gray"),
          QStringLiteral("-png"), pdf, dir.filePath(QStringLiteral("page"))});
    QStringList pages =
        QDir(dir.path()).entryList({QStringLiteral("page*.png")}, QDir::Files, QDir::Name);
    std::vector<Label> labels(static_cast<size_t>(pages.size() * kColumns * kRows));

    // Each label cut out and scanned on its own, so codes come in order.
    QStringList cells;
    const double px = dpi / 25.4;
    for (qsizetype p = 0; p < pages.size(); ++p) {
        const QImage page(dir.filePath(pages[p]));
        for (int i = 0; i < kColumns * kRows; ++i) {
            const QRect r(static_cast<int>((kLeft + (i % kColumns) * kPitchX) * px),
                          static_cast<int>((kTop + (i / kColumns) * kLabelH) * px),
                          static_cast<int>(kLabelW * px), static_cast<int>(kLabelH * px));
            const QString cell =
                dir.filePath(QStringLiteral("cell-%1.png")
                                 .arg(p * kColumns * kRows + i, 6, 10, QLatin1Char('0')));
            page.copy(r).save(cell);
            cells << cell;
        }
    }
    const QString xml = Tool(QStringLiteral("zbarimg"),
                             QStringList{QStringLiteral("-q"), QStringLiteral("--xml")} + cells);
    static const QRegularExpression source(QStringLiteral("<source href='[^']*cell-(\\d+)\\.png'>"
                                                          "(.*?)</source>"),
                                           QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression data(QStringLiteral("<!\\[CDATA\\[(.*?)\\]\\]>"));
    for (auto m = source.globalMatch(xml); m.hasNext();) {
        const auto s = m.next();
        QStringList codes;
        for (auto d = data.globalMatch(s.captured(2)); d.hasNext();) codes << d.next().captured(1);
        labels[static_cast<size_t>(s.captured(1).toInt())].Code = codes.join(QLatin1Char('|'));
    }

    // Words of the name line (the label's top third), joined in reading order.
    const QString bbox =
        Tool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression pageTag(QStringLiteral("<page "));
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>(.*?)</word>"));
    const QStringList pageTexts = bbox.split(pageTag);
    for (qsizetype p = 1; p < pageTexts.size(); ++p)
        for (auto m = word.globalMatch(pageTexts[p]); m.hasNext();) {
            const auto w = m.next();
            const double x = w.captured(1).toDouble() / kPtPerMm - kLeft;
            const double y = w.captured(2).toDouble() / kPtPerMm - kTop;
            const int col = static_cast<int>(x / kPitchX), row = static_cast<int>(y / kLabelH);
            if (x < 0 || y < 0 || col >= kColumns || row >= kRows) continue;
            if (y - row * kLabelH > 10.5) continue; // the barcode's digits
            QString& name =
                labels[static_cast<size_t>((p - 1) * kColumns * kRows + row * kColumns + col)].Name;
            if (!name.isEmpty()) name += QLatin1Char(' ');
            name += w.captured(3)
                        .replace(QStringLiteral("&amp;"), QStringLiteral("&"))
                        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
                        .replace(QStringLiteral("&apos;"), QStringLiteral("'"))
                        .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
                        .replace(QStringLiteral("&gt;"), QStringLiteral(">"));
        }
    // The empty positions after the last label are no labels.
    while (!labels.empty() && labels.back() == Label{}) labels.pop_back();
    return labels;
}

std::vector<Label> SqliteRecords(const QString& db, const QString& select) {
    std::vector<Label> out;
    const QString text = Tool(QStringLiteral("sqlite3"),
                              {QStringLiteral("-separator"), QStringLiteral("\x1f"),
                               QStringLiteral("-newline"), QStringLiteral("\x1e"), db, select});
    for (const QString& row : text.split(QChar(0x1e), Qt::SkipEmptyParts)) {
        const QStringList f = row.split(QChar(0x1f));
        out.push_back({f.value(0).trimmed(), f.value(1).simplified()});
    }
    return out;
}

class BatchModeTest : public ::testing::Test {
protected:
    QString Pdf(const char* name) { return dir.filePath(QString::fromUtf8(name)); }
    static QStringList SampleArgs() {
        return {QStringLiteral("--db"),      kSample,
                QStringLiteral("--table"),   QStringLiteral("商品"),
                QStringLiteral("--barcode"), QStringLiteral("条码"),
                QStringLiteral("--name"),    QStringLiteral("名称")};
    }
    QTemporaryDir dir;
};

} // namespace

TEST(BatchArguments, ParsedOrRefusedWithTheReason) {
    const QStringList base = {"--db", "a.db", "--table", "T", "--barcode", "B", "--name", "N"};
    struct Case {
        QStringList extra;
        const char* error; // empty: accepted
    } cases[] = {
        {{"--pdf", "o.pdf"}, ""},
        {{"--print", "q", "--copies", "3", "--pages", "1,3-", "--first", "5"}, ""},
        {{"--pdf=o.pdf", "--find-barcode", " 69 ", "--find-name", ""}, ""},
        {{}, "give one of --pdf FILE and --print QUEUE"},
        {{"--pdf", "o.pdf", "--print", "q"}, "give one of --pdf FILE and --print QUEUE"},
        {{"--pdf"}, "--pdf needs a value"},
        {{"--pdf", "o.pdf", "--colour"}, "unknown option --colour"},
        {{"--pdf", "o.pdf", "stray"}, "unexpected argument \"stray\""},
        {{"--pdf", "o.pdf", "--table", "U"}, "--table given twice"},
        {{"--pdf", "o.pdf", "--copies", "0"}, "--copies takes a number from 1 to 9999, not \"0\""},
        {{"--pdf", "o.pdf", "--first", "x"}, "--first takes a label position from 1 on, not \"x\""},
        {{"--pdf", "o.pdf", "--pages", "1,,2"},
         "--pages takes page numbers such as 1,3,5-12, not \"1,,2\""},
    };
    for (const Case& c : cases) {
        const BatchParseResult r = ParseBatchArguments(base + c.extra);
        EXPECT_EQ(r.Error, QString::fromUtf8(c.error)) << c.extra.join(' ').toStdString();
        EXPECT_EQ(r.Options.has_value(), *c.error == 0);
    }
    const BatchParseResult r = ParseBatchArguments(
        base + QStringList{"--pdf=o.pdf", "--find-barcode", " 69 ", "--find-name", ""});
    ASSERT_TRUE(r.Options);
    EXPECT_EQ(r.Options->Pdf, "o.pdf");
    EXPECT_EQ(r.Options->FindBarcode, std::optional<QString>("69"));
    EXPECT_EQ(r.Options->FindName, std::optional<QString>(""));
    EXPECT_EQ(ParseBatchArguments({"--table", "T"}).Error, "--db is required");
    EXPECT_TRUE(ParseBatchArguments({"--help"}).Options->Help);
}

TEST_F(BatchModeTest, SampleDatabaseEveryLabelScansToItsRecordInOrder) {
    const ProgramRun run = RunProgram(SampleArgs() << QStringLiteral("--pdf") << Pdf("sample.pdf"));
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const std::vector<Label> expected =
        SqliteRecords(kSample, QStringLiteral("select 条码, 名称 from 商品"));
    ASSERT_GT(expected.size(), 27u); // more than one sheet
    EXPECT_EQ(ReadLabels(Pdf("sample.pdf")), expected);
    // The records without a barcode are named; not a terminal, so no progress.
    for (const Label& l : expected) {
        if (l.Code.isEmpty()) {
            EXPECT_TRUE(run.Err.contains(l.Name + QStringLiteral("): no barcode value")))
                << run.Err.toStdString();
        }
    }
    EXPECT_FALSE(run.Err.contains(QStringLiteral("records,"))) << run.Err.toStdString();
}

TEST_F(BatchModeTest, SearchOptionsNarrowTheRecordsAndFirstSkipsUsedPositions) {
    const ProgramRun run =
        RunProgram(SampleArgs() << QStringLiteral("--find-barcode") << QStringLiteral("69")
                                << QStringLiteral("--find-name") << QStringLiteral("牛")
                                << QStringLiteral("--pdf") << Pdf("found.pdf"));
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const std::vector<Label> found = SqliteRecords(
        kSample,
        QStringLiteral("select 条码, 名称 from 商品 where 条码 like '%69%' and 名称 like '%牛%'"));
    ASSERT_GE(found.size(), 2u);
    ASSERT_LT(found.size(), 25u);
    EXPECT_EQ(ReadLabels(Pdf("found.pdf")), found);

    // Starting on position 25 of the sheet: 24 blank labels, then the records
    // across the rest of the sheet and onto the next one.
    const ProgramRun first =
        RunProgram(SampleArgs() << QStringLiteral("--find-name") << QStringLiteral("牛")
                                << QStringLiteral("--first") << QStringLiteral("25")
                                << QStringLiteral("--pdf") << Pdf("first.pdf"));
    ASSERT_EQ(first.ExitCode, 0) << first.Err.toStdString();
    std::vector<Label> expected(24);
    for (const Label& l : SqliteRecords(
             kSample, QStringLiteral("select 条码, 名称 from 商品 where 名称 like '%牛%'")))
        expected.push_back(l);
    ASSERT_GT(expected.size(), 27u);
    EXPECT_EQ(ReadLabels(Pdf("first.pdf")), expected);
}

TEST_F(BatchModeTest, AccessFixturesPrintEveryRecord) {
    struct Case {
        const char* file;
        QStringList options;
        std::vector<Label> labels;
    } cases[] = {
        {"jet4-plain.mdb",
         {"--table", "Table1", "--barcode", "ID", "--name", "Data"},
         {{"1", "One"}, {"2", "Two"}, {"3", "Three"}}},
        {"jet4-password.mdb",
         {"--password", "password", "--table", "Table1", "--barcode", "ID", "--name", "Data"},
         {{"1", "One"}, {"2", "Two"}, {"3", "Three"}}},
        {"jet4-encoded.mdb",
         {"--table", "Table1", "--barcode", "ID", "--name", "col1"},
         {{"1", "hello"}, {"2", "world"}}},
        {"jet3-types.mdb",
         {"--table", "Table1", "--barcode", "A", "--name", "B"},
         {{"a", "b"}, {"abcdefg", "hijklmnop"}}},
        {"jet4-deleted-column.mdb",
         {"--table", "Table1", "--barcode", "id", "--name", "data"},
         {{"", "foo"}, {"3", "bar"}}}, // the engine prints no code for a value of 0
        {"jet4-unicode.mdb",
         {"--table", "Table", "--barcode", "ID", "--name", "Unicode", "--find-name", "only"},
         {{"1", "only ascii chars"}}},
        // A calculated column as the label name; Access 2010 files.
        {"calc-fields.accdb",
         {"--table", "Table1", "--barcode", "LastFirstLen", "--name", "LastFirst"},
         {{"12", "Wayne, Bruce"},
          {"13", "Simpson, Bart"},
          {"9", "Doe, John"},
          {"10", "User, Test"}}},
        {"ext-date.accdb",
         {"--table", "Table1", "--barcode", "ID", "--name", "DateExt", "--find-name", "2021"},
         {{"2", "2021-6-14"},
          {"3", "2021-6-14 12:45:00"},
          {"4", "2021-6-14 1:45:00"},
          {"6", "2021-6-14 22:45:12"}}},
        {"enc-agile.accdb",
         {"--password", "password", "--table", "Table1", "--barcode", "ID", "--name", "Data"},
         {{"1", "One"}, {"2", "Two"}, {"3", "Three"}}},
        {"enc-rc4.accdb",
         {"--password", "password", "--table", "Table1", "--barcode", "ID", "--name", "Data"},
         {{"1", "One"}, {"2", "Two"}, {"3", "Three"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString pdf = Pdf(c.file) + QStringLiteral(".pdf");
        const ProgramRun run = RunProgram(QStringList{"--db", Fixture(c.file)} + c.options +
                                          QStringList{"--pdf", pdf});
        ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
        EXPECT_EQ(ReadLabels(pdf), c.labels);
    }

    // Every record of a table whose texts the label font partly lacks: the
    // barcodes all scan, in order.
    const QString pdf = Pdf("unicode.pdf");
    const ProgramRun run = RunProgram({"--db", Fixture("jet4-unicode.mdb"), "--table", "Table",
                                       "--barcode", "ID", "--name", "Unicode", "--pdf", pdf});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    // (its last text is longer than a label: its lines run on below it)
    QStringList codes;
    for (const Label& l : ReadLabels(pdf)) codes << l.Code;
    codes = codes.mid(0, 8);
    EXPECT_EQ(codes.join(' ').toStdString(), "1 2 3 4 5 6 7 8");

    // A long text prints what fits on the label, from its start.
    const ProgramRun longText =
        RunProgram({"--db", Fixture("ace-longtext.accdb"), "--table", "Table1", "--barcode", "ID",
                    "--name", "LongText", "--pdf", Pdf("long.pdf")});
    ASSERT_EQ(longText.ExitCode, 0) << longText.Err.toStdString();
    // (the text beyond the label is clipped, not cut, in the PDF: only the first label counts)
    const std::vector<Label> labels = ReadLabels(Pdf("long.pdf"));
    ASSERT_GE(labels.size(), 1u);
    EXPECT_EQ(labels[0].Code, "1");
    EXPECT_TRUE(Tool(QStringLiteral("pdftotext"), {Pdf("long.pdf"), QStringLiteral("-")})
                    .contains(QStringLiteral("Lorem ipsum dolor sit amet")));
}

TEST_F(BatchModeTest, BadBarcodeValuesArePrintedWithoutBarsAndNamed) {
    const QString db = dir.filePath(QStringLiteral("bad.db"));
    Tool(QStringLiteral("sqlite3"),
         {db, QStringLiteral("create table t (code text, name text);"
                             "insert into t values ('6949428595757', '第一'), (null, '第二'),"
                             "('', '第三'), ('条码', '第四'), ('A-12', '第五');")});
    const ProgramRun run = RunProgram({"--db", db, "--table", "t", "--barcode", "code", "--name",
                                       "name", "--pdf", Pdf("bad.pdf")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const std::vector<Label> expected = {
        {"6949428595757", "第一"}, {"", "第二"}, {"", "第三"}, {"", "第四"}, {"A-12", "第五"}};
    EXPECT_EQ(ReadLabels(Pdf("bad.pdf")), expected);
    const QString err = run.Err;
    EXPECT_TRUE(err.contains("record 2 (第二): no barcode value")) << err.toStdString();
    EXPECT_TRUE(err.contains("record 3 (第三): empty barcode value")) << err.toStdString();
    EXPECT_TRUE(err.contains("record 4 (第四): barcode \"条码\" cannot be encoded"))
        << err.toStdString();
    EXPECT_FALSE(err.contains("record 1 ")) << err.toStdString();
    EXPECT_FALSE(err.contains("record 5 ")) << err.toStdString();
}

TEST_F(BatchModeTest, FailuresGiveTheirExitCodesAndWriteNothing) {
    const QString out = Pdf("never.pdf");
    struct Case {
        QStringList args;
        int code;
        const char* message;
    } cases[] = {
        {{"--db", kSample, "--table", "商品"}, 1, "--barcode is required"},
        {SampleArgs() << "--pdf" << out << "--first"
                      << "0",
         1, "--first takes"},
        {{"--db", dir.filePath("missing.db"), "--table", "t", "--barcode", "b", "--name", "n",
          "--pdf", out},
         2,
         "请先选择数据库的所在路径"},
        {{"--db", Fixture("jet4-password.mdb"), "--password", "wrong", "--table", "Table1",
          "--barcode", "ID", "--name", "Data", "--pdf", out},
         2,
         "该数据库文件可能被以独占方式打开了，或是该数据库的密码有误"},
        {{"--db", Fixture("enc-agile.accdb"), "--password", "wrong", "--table", "Table1",
          "--barcode", "ID", "--name", "Data", "--pdf", out},
         2,
         "该数据库文件可能被以独占方式打开了，或是该数据库的密码有误"},
        {{"--db", Fixture("jet4-empty.mdb"), "--table", "Table1", "--barcode", "ID", "--name",
          "Data", "--pdf", out},
         2,
         "has no table \"Table1\""},
        {SampleArgs().mid(0, 5) << "价格"
                                << "--name"
                                << "名称"
                                << "--pdf" << out,
         2, "has no field \"价格\""},
        {SampleArgs() << "--find-name"
                      << "不存在的商品"
                      << "--pdf" << out,
         2, "no records"},
        {SampleArgs() << "--template" << dir.filePath("none.frf") << "--pdf" << out, 2,
         "找不到标签模板"},
        {SampleArgs() << "--template" << kSample << "--pdf" << out, 2, "could not be read"},
        {SampleArgs() << "--print"
                      << "no-such-queue",
         3, "no print queue named \"no-such-queue\""},
        {SampleArgs() << "--pdf" << dir.filePath("no/such/folder/o.pdf"), 3, "o.pdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const ProgramRun run = RunProgram(c.args);
        EXPECT_EQ(run.ExitCode, c.code);
        EXPECT_TRUE(run.Err.contains(QString::fromUtf8(c.message))) << run.Err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(out));

    const ProgramRun help = RunProgram({"--help"});
    EXPECT_EQ(help.ExitCode, 0);
}
