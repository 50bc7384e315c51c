#include "app/data_source_model.h"
#include "app/frm_about.h"
#include "app/frm_find.h"
#include "app/frm_print.h"
#include "app_test_support.h"
#include "platform/db/ado_connection.h"
#include "platform/db/ado_query.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "report/barcode/barcode_view.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/db_dataset.h"
#include "report/engine/prepared_pages.h"
#include "report/model/band_view.h"
#include "report/model/memo_view.h"
#include "report/model/object_registry.h"
#include "report/model/page.h"
#include "report/model/report.h"
#include "report/output/preview_form.h"
#include "report/output/print_form.h"
#include "report/output/print_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <qpa/qplatformwindow.h>
#include <set>
#include <sqlite3.h>

namespace {

// Tests that write Print.frf beside the program take turns: the suite runs
// two tests at a time.
class TemplateFileLock {
public:
    TemplateFileLock() : lock_(QDir::tempPath() + QStringLiteral("/velkor-print-frf.lock")) {
        lock_.setStaleLockTime(0);
        lock_.lock();
    }

private:
    QLockFile lock_;
};

const QString kBadConnect = QStringLiteral(
    "Error: 该数据库文件可能被以独占方式打开了，或是该数据库的密码有误，请您重新输入");

// Closes every preview the window shows (it is modal and would wait for the
// operator), noting what it showed: the objects of its first page as
// "name@top:text".
class PreviewCloser {
public:
    PreviewCloser() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }
    int shown = 0;
    bool modal = false;
    std::vector<std::string> firstPage;
    // Off for a test that works the preview itself.
    bool enabled = true;

private:
    void Poll() {
        if (!enabled) return;
        auto* preview = qobject_cast<TfrPreviewForm*>(QApplication::activeModalWidget());
        if (!preview) return;
        ++shown;
        modal = preview->isModal();
        firstPage.clear();
        if (preview->Pages && preview->Pages->Count() > 0) {
            preview->Pages->MaterializePage(0);
            for (const auto& v : preview->Pages->PageAt(0).Page->Objects)
                firstPage.push_back(v->Name + "@" + std::to_string(v->Top) + ":" +
                                    rtl::Trim(v->Memo.Text()));
        }
        preview->close();
    }
    QTimer timer_;
};

class MainWindowTest : public WindowTest {
protected:
    PreviewCloser previews;
    TfrmPrint w;

    QString Sql() { return text::Cp936ToQString(w.ADOQuery1().SQL()); }
    QString ConnectionString() {
        return text::Cp936ToQString(w.ADOConnection1().ConnectionString());
    }
    QStringList Items(QComboBox* box) {
        QStringList r;
        for (int i = 0; i < box->count(); ++i) r << box->itemText(i);
        return r;
    }
    void Connect(const QString& path, const QString& password = {}) {
        w.Edit1->setText(path);
        w.Edit2->setText(password);
        QTest::mouseClick(w.Button1, Qt::LeftButton);
    }
    void PickTable(const QString& name) {
        const int i = w.ComboBox1->findText(name);
        ASSERT_GE(i, 0) << name.toStdString();
        w.ComboBox1->setCurrentIndex(i);
        emit w.ComboBox1->activated(i); // what the operator's pick raises
    }
    void PickFields(const QString& barcode, const QString& label) {
        w.ComboBox2->setCurrentIndex(w.ComboBox2->findText(barcode));
        w.ComboBox3->setCurrentIndex(w.ComboBox3->findText(label));
    }
    // Connects to the sample and opens 商品 with its barcode and name columns.
    void OpenSample() {
        Connect(QString::fromUtf8(SAMPLE_DB_PATH));
        PickTable(QStringLiteral("商品"));
        PickFields(QStringLiteral("条码"), QStringLiteral("名称"));
        QTest::mouseClick(w.Button2, Qt::LeftButton);
        messages.clear();
    }
    // Focus checks need a shown, active window.
    void ShowActive() {
        w.show();
        QApplication::setActiveWindow(&w);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }
    QString Cell(int row, int column) {
        return w.DBGrid1->model()->index(row, column).data().toString();
    }
};

TEST_F(MainWindowTest, WindowAndControlsAsDesigned) {
    EXPECT_EQ(w.windowTitle(), QStringLiteral("打印条码标签：www.velkor.example"));
    EXPECT_EQ(w.size(), QSize(450, 422));
    EXPECT_EQ(QApplication::applicationDisplayName(), QStringLiteral("Velkor条码打印工具"));
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);

    struct Control {
        const char* name;
        QRect geometry;
        const char* caption;
    } controls[] = {
        {"GroupBox1", {17, 13, 417, 158}, "打印数据库中的数据:"},
        {"Edit1", {93, 21, 282, 21}, ""},
        {"SpeedButton1", {378, 21, 23, 22}, ""},
        {"Edit2", {93, 48, 141, 21}, ""},
        {"Button1", {240, 47, 84, 25}, "连接数据库"},
        {"ComboBox1", {93, 74, 141, 21}, ""},
        {"ComboBox2", {93, 100, 141, 21}, ""},
        {"ComboBox3", {93, 127, 141, 21}, ""},
        {"Button2", {240, 123, 84, 25}, "打开数据表"},
        {"GroupBox2", {328, 43, 83, 105}, ""},
        {"Button3", {5, 9, 74, 46}, "关于"},
        {"Button4", {5, 55, 74, 46}, "演示"},
        {"DBGrid1", {16, 176, 417, 201}, ""},
        {"BitBtn4", {19, 383, 75, 27}, "查询"},
        {"BitBtn1", {194, 382, 75, 27}, "打印标签"},
        {"BitBtn2", {276, 382, 75, 27}, "设计标签"},
        {"BitBtn3", {359, 382, 75, 27}, "退　出"},
    };
    for (const Control& c : controls) {
        auto* widget = w.findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
        QString caption;
        if (auto* b = qobject_cast<QAbstractButton*>(widget)) caption = b->text();
        if (auto* g = qobject_cast<QGroupBox*>(widget)) caption = g->title();
        EXPECT_EQ(caption, QString::fromUtf8(c.caption)) << c.name;
    }
    struct Label {
        const char* name;
        QPoint at;
        const char* caption;
    } labels[] = {{"Label1", {16, 22}, "数据库路径："},
                  {"Label6", {15, 49}, "数据库密码："},
                  {"Label2", {15, 75}, "数据表名称："},
                  {"Label3", {15, 101}, "条形码字段："},
                  {"Label4", {15, 128}, "标签名字段："}};
    for (const Label& l : labels) {
        auto* label = w.findChild<QLabel*>(l.name);
        ASSERT_NE(label, nullptr) << l.name;
        EXPECT_EQ(label->pos(), l.at) << l.name;
        EXPECT_EQ(label->text(), QString::fromUtf8(l.caption));
    }
    EXPECT_EQ(w.Edit2->echoMode(), QLineEdit::Password);
    EXPECT_EQ(w.Edit2->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, w.Edit2),
              '*');
    EXPECT_FALSE(w.ComboBox1->isEditable());
    EXPECT_EQ(w.font().pixelSize(), 13);

    // Grid columns: titles, widths, centred titles.
    EXPECT_EQ(w.DBGrid1->model()->columnCount(), 2);
    EXPECT_EQ(w.DBGrid1->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("条码"));
    EXPECT_EQ(w.DBGrid1->model()->headerData(1, Qt::Horizontal).toString(),
              QStringLiteral("标签名"));
    EXPECT_EQ(w.DBGrid1->columnWidth(0), 148);
    EXPECT_EQ(w.DBGrid1->columnWidth(1), 212);
    EXPECT_EQ(w.DBGrid1->horizontalHeader()->defaultAlignment() & Qt::AlignHCenter,
              Qt::AlignHCenter);

    // Tab order: the group's controls, the bottom buttons, then the grid.
    ShowActive();
    std::vector<QWidget*> expected = {w.Edit1,   w.Edit2,   w.ComboBox1, w.ComboBox2, w.ComboBox3,
                                      w.Button1, w.Button2, w.Button3,   w.Button4,   w.BitBtn1,
                                      w.BitBtn2, w.BitBtn3, w.BitBtn4,   w.DBGrid1};
    w.Edit1->setFocus();
    for (size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected[i])
            << "after " << expected[i - 1]->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, ConnectRequiresAnExistingFileUnderTheUntrimmedPath) {
    ShowActive();
    for (const QString& path :
         {QString(), QStringLiteral("/no/such/file.mdb"),
          QStringLiteral(" ") + Fixture("jet4-plain.mdb"), QDir::tempPath()}) {
        w.Edit1->setText(path);
        w.Edit1->setCursorPosition(0);
        QTest::mouseClick(w.Button1, Qt::LeftButton);
        EXPECT_EQ(TakeMessage(), QStringLiteral("Error: 请先选择数据库的所在路径"))
            << path.toStdString();
        EXPECT_EQ(w.Edit1->selectedText(), path);
        EXPECT_TRUE(w.Edit1->hasFocus());
    }
    EXPECT_FALSE(w.ADOConnection1().Connected());
}

TEST_F(MainWindowTest, ConnectStringsAndPasswords) {
    struct Case {
        const char* file;
        QString password;
        bool connects;
        QStringList tables;
    } cases[] = {
        {"jet4-plain.mdb", "", true, {"Table1"}},
        {"jet4-plain.mdb", "anything", true, {"Table1"}}, // Jet accepts a password it does not need
        {"jet4-password.mdb", "password", true, {"Table1"}},
        {"jet4-password.mdb", " password ", true, {"Table1"}}, // trimmed
        {"jet4-password.mdb", "Password", false, {}},
        {"jet4-password.mdb", "", false, {}},
        {"jet4-password.mdb", "   ", false, {}}, // blanks only: no password
        {"jet3-types.mdb", "", true, {"Table1", "Table2", "Table3", "Table4"}},
        {"jet4-empty.mdb", "", true, {}},
        // Encrypted .accdb files: the password is the key.
        {"enc-agile.accdb", "password", true, {"Table1"}},
        {"enc-rc4.accdb", "password", true, {"Table1"}},
        {"enc-agile.accdb", "wrong", false, {}},
        {"enc-rc4.accdb", "", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " / '" + c.password.toStdString() + "'");
        w.ComboBox1->clear();
        w.ComboBox1->addItem(QStringLiteral("earlier"));
        ShowActive();
        Connect(Fixture(c.file), c.password);
        const QString path = Fixture(c.file);
        const QString pw = c.password.trimmed();
        QString expectedCs =
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Persist Security Info=False";
        if (!pw.isEmpty()) expectedCs += ";Jet OLEDB:Database Password=" + pw;
        EXPECT_EQ(ConnectionString(), expectedCs);
        if (c.connects) {
            EXPECT_EQ(TakeMessage(), QStringLiteral("Information: 数据库连接成功"));
            EXPECT_EQ(Items(w.ComboBox1), c.tables);
        } else {
            EXPECT_EQ(TakeMessage(), kBadConnect);
            EXPECT_EQ(Items(w.ComboBox1), QStringList{QStringLiteral("earlier")});
            EXPECT_TRUE(w.Edit1->hasFocus());
            EXPECT_EQ(w.Edit1->selectedText(), w.Edit1->text());
        }
    }
}

TEST_F(MainWindowTest, ConnectFailsCleanlyOnFilesThatAreNoDatabase) {
    QTemporaryDir dir;
    const QString junk = dir.filePath("junk.mdb");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a database\n");
    f.close();
    Connect(junk);
    EXPECT_EQ(TakeMessage(), kBadConnect);
}

TEST_F(MainWindowTest, PathWithBlanksExistsUntrimmedButConnectsTrimmed) {
    QTemporaryDir dir;
    const QString trimmed = dir.filePath("plain.mdb");
    ASSERT_TRUE(QFile::copy(Fixture("jet4-plain.mdb"), trimmed));
    ASSERT_TRUE(QFile::copy(Fixture("jet4-plain.mdb"), trimmed + " "));
    Connect(trimmed + " ");
    EXPECT_EQ(TakeMessage(), QStringLiteral("Information: 数据库连接成功"));
    EXPECT_TRUE(ConnectionString().contains("Data Source=" + trimmed + ";"));
}

TEST_F(MainWindowTest, TableChangeFillsFieldListsAndLeavesQueryClosed) {
    Connect(Fixture("jet3-types.mdb"));
    messages.clear();
    EXPECT_EQ(w.ComboBox1->currentIndex(), -1); // listed, none chosen
    EXPECT_EQ(w.ComboBox1->currentText(), QString());
    PickTable(QStringLiteral("Table1"));
    const QStringList fields = {"A", "B", "C", "D", "E", "F", "G", "H", "I"};
    EXPECT_EQ(Items(w.ComboBox2), fields);
    EXPECT_EQ(Items(w.ComboBox3), fields);
    EXPECT_EQ(w.ComboBox2->currentIndex(), -1);
    EXPECT_EQ(w.ComboBox3->currentIndex(), -1);
    EXPECT_EQ(Sql(), QStringLiteral("select * from [Table1]"));
    EXPECT_FALSE(w.ADOQuery1().Active());
    EXPECT_TRUE(messages.empty());

    // Reconnecting elsewhere refills the tables but keeps the old fields.
    Connect(Fixture("jet4-plain.mdb"));
    messages.clear();
    EXPECT_EQ(Items(w.ComboBox1), QStringList{"Table1"});
    EXPECT_EQ(w.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(Items(w.ComboBox2), fields);

    // A table that cannot be listed: nothing said, lists as they were.
    w.ComboBox1->addItem(QStringLiteral("Gone]"));
    PickTable(QStringLiteral("Gone]"));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Items(w.ComboBox2), fields);
    EXPECT_FALSE(w.ADOQuery1().Active());
}

// The platform window formats the caption a window manager shows; it would
// append an application display name to every one of them.
struct PlatformTitle : QPlatformWindow {
    using QPlatformWindow::formatWindowTitle;
};

TEST_F(MainWindowTest, CaptionsReadAsDesignedOnARealDesktop) {
    TfrmFind find(&w, &w);
    TfrmAbout about(&w);
    const QString separator = QString::fromUtf8(" \u2014 ");
    for (const QString& caption :
         {w.windowTitle(), find.windowTitle(), about.windowTitle(), QStringLiteral("Error"),
          QStringLiteral("Information"), QStringLiteral("错误")})
        EXPECT_EQ(PlatformTitle::formatWindowTitle(caption, separator), caption);
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("labelprint"));
}

TEST_F(MainWindowTest, AFreshConnectionChoosesNoTable) {
    Connect(QString::fromUtf8(SAMPLE_DB_PATH));
    messages.clear();
    ASSERT_GT(w.ComboBox1->count(), 0);
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    EXPECT_EQ(TakeMessage(),
              QStringLiteral("Error: 请先连接上数据库，并选择要连接的＂数据表名称＂"));
    EXPECT_FALSE(w.ADOQuery1().Active());
}

TEST_F(MainWindowTest, OpenTableChecksItsChoicesInOrder) {
    ShowActive();
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    EXPECT_EQ(TakeMessage(),
              QStringLiteral("Error: 请先连接上数据库，并选择要连接的＂数据表名称＂"));

    Connect(QString::fromUtf8(SAMPLE_DB_PATH));
    messages.clear();
    PickTable(QStringLiteral("商品"));
    w.Edit2->setFocus();
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    EXPECT_EQ(TakeMessage(), QStringLiteral("Error: 请选择条形码字段"));
    EXPECT_TRUE(w.ComboBox2->hasFocus());

    PickFields(QStringLiteral("条码"), QString());
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    EXPECT_EQ(TakeMessage(), QStringLiteral("Error: 请选择标签名字段"));
    EXPECT_TRUE(w.ComboBox3->hasFocus());

    PickFields(QStringLiteral("条码"), QStringLiteral("名称"));
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    EXPECT_EQ(TakeMessage(), QStringLiteral("Information: 数据表打开完毕"));
    EXPECT_EQ(Sql(), QStringLiteral("select [条码] as [NUM],[名称] as [Title] from [商品]"));
    EXPECT_TRUE(w.ADOQuery1().Active());
    ASSERT_EQ(w.DBGrid1->model()->rowCount(), 60);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("6949428595757"));
    EXPECT_EQ(Cell(0, 1), QStringLiteral("农夫山泉 天然饮用水"));
    EXPECT_EQ(Cell(7, 0), QString()); // a product without a barcode
}

TEST_F(MainWindowTest, OpenTableFailureGoesToTheGeneralErrorDisplay) {
    OpenSample();
    // A field name with "]" makes an invalid statement.
    w.ComboBox2->addItem(QStringLiteral("条]码"));
    w.ComboBox2->setCurrentIndex(w.ComboBox2->count() - 1);
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, ui::MsgKind::Error);
    EXPECT_FALSE(messages[0].text.isEmpty());
    EXPECT_FALSE(w.ADOQuery1().Active());
    EXPECT_EQ(w.DBGrid1->model()->rowCount(), 0);
}

TEST_F(MainWindowTest, PrintAndDesignNeedAnOpenTable) {
    for (QPushButton* b : {w.BitBtn1, w.BitBtn2}) {
        QTest::mouseClick(b, Qt::LeftButton);
        EXPECT_EQ(TakeMessage(), QStringLiteral("Error: 请先连接上数据库，并打开数据表"));
    }
    OpenSample();
    // Open, but a choice emptied afterwards still blocks.
    w.ComboBox3->setCurrentIndex(-1);
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(TakeMessage(), QStringLiteral("Error: 请先连接上数据库，并打开数据表"));
    EXPECT_TRUE(TfrmPrint::TemplatePath().endsWith(QStringLiteral("//Print.frf")));
}

TEST_F(MainWindowTest, PrintAndDesignReadTheTemplateAfreshEachTime) {
    TemplateFileLock lock;
    OpenSample();
    const std::string path = text::QStringToCp936(TfrmPrint::TemplatePath());
    ASSERT_FALSE(QFile::exists(TfrmPrint::TemplatePath()));

    // No template yet: the report keeps what it holds (nothing at first).
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(w.frReport1().FileName, "Untitled");
    EXPECT_EQ(w.frReport1().Pages->Count(), 0);

    // A two-page template next to the program is read by design and print.
    {
        TfrReport made;
        made.Pages->Add();
        made.Pages->Add();
        made.SaveTemplateFile(path);
    }
    QTest::mouseClick(w.BitBtn2, Qt::LeftButton);
    EXPECT_EQ(w.frReport1().FileName, path);
    EXPECT_EQ(w.frReport1().Pages->Count(), 2);
    {
        TfrReport made;
        made.Pages->Add();
        made.SaveTemplateFile(path);
    }
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(w.frReport1().Pages->Count(), 1);
    EXPECT_TRUE(messages.empty());

    // A file that is no template: the report's message, one empty page.
    {
        QFile f(TfrmPrint::TemplatePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\x19garbage that is no template");
    }
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, ui::MsgKind::Error);
    EXPECT_EQ(messages[0].text, QStringLiteral("不支持的FRF格式"));
    EXPECT_EQ(messages[0].caption, QStringLiteral("错误"));
    EXPECT_EQ(w.frReport1().Pages->Count(), 1);
    QFile::remove(TfrmPrint::TemplatePath());
}

TEST_F(MainWindowTest, BeforePrintPutsTheRecordsBarcodeIntoTheObjectNamedB) {
    OpenSample();
    auto& q = w.ADOQuery1();
    auto fire = [&](TfrView& view, int recNo) {
        q.First();
        while (q.RecNo() < recNo) q.Next();
        rtl::TStringList memo;
        memo.SetText("[template]");
        w.frReport1().OnBeforePrint(memo, view);
        return memo.Text();
    };
    TfrBarCodeView barcode;
    struct Case {
        const char* name;
        int recNo;
        std::string memo;
    } cases[] = {
        {"B", 1, "6949428595757\r\n"},
        {"B ", 5, "6901610426485\r\n"}, // the name and the value are trimmed
        {"B", 8, "[template]\r\n"},     // null barcode: the template's text stays
        {"b", 1, "[template]\r\n"},     // letter case counts
        {"Barcode", 1, "[template]\r\n"},
    };
    for (const Case& c : cases) {
        barcode.Name = c.name;
        EXPECT_EQ(fire(barcode, c.recNo), c.memo) << c.name << " " << c.recNo;
    }
    EXPECT_EQ(barcode.Memo.Text(), "12345678\r\n"); // the template object itself is untouched

    // An object named B of another kind fails the typecast, unless the
    // record's barcode is null.
    TfrMemoView memoView;
    memoView.Name = "B";
    EXPECT_THROW(fire(memoView, 1), std::runtime_error);
    EXPECT_EQ(fire(memoView, 8), "[template]\r\n");
}

TEST_F(MainWindowTest, PrintBuildsALabelPerRecordOfTheOpenAccessTable) {
    TemplateFileLock lock;
    Connect(Fixture("jet4-plain.mdb"));
    PickTable(QStringLiteral("Table1"));
    PickFields(QStringLiteral("ID"), QStringLiteral("Data"));
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    ASSERT_TRUE(w.ADOQuery1().Active());
    messages.clear();

    // Print.frf as the designer saves it: a label band over frDBDataSet1 with
    // the name and the barcode object B, which the window fills per record.
    const std::string path = text::QStringToCp936(TfrmPrint::TemplatePath());
    {
        TfrReport made;
        TfrPage& page = made.Pages->Items(made.Pages->Add());
        page.UseMargins = false;
        auto& band = static_cast<TfrBandView&>(page.AddObject(CreateObject(gtBand, "")));
        band.FrameTyp = btMasterData;
        band.Name = "MasterData1";
        band.SetBounds(0, 10, 300, 60);
        band.FormatText = "frDBDataSet1";
        auto& memo = static_cast<TfrMemoView&>(page.AddObject(CreateObject(gtMemo, "")));
        memo.Name = "Memo1";
        memo.SetBounds(8, 12, 200, 16);
        memo.Memo.SetText("[frDBDataSet1.\"Title\"]");
        auto& barcode =
            static_cast<TfrBarCodeView&>(page.AddObject(CreateObject(gtAddIn, "TfrBarCodeView")));
        barcode.Name = "B";
        barcode.SetBounds(8, 30, 200, 36);
        barcode.BarType = bcCode128B;
        made.SaveTemplateFile(path);
    }
    // The labels show in the preview, modal; what it shows is read there
    // and the window closed.
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    QFile::remove(TfrmPrint::TemplatePath());
    EXPECT_TRUE(messages.empty()) << messages.front().text.toStdString();
    EXPECT_EQ(previews.shown, 1);
    EXPECT_TRUE(previews.modal);
    const std::vector<std::string> expected = {"Memo1@2:One", "B@20:1",          "Memo1@62:Two",
                                               "B@80:2",      "Memo1@122:Three", "B@140:3"};
    EXPECT_EQ(previews.firstPage, expected);
    // The template itself is as it was read.
    EXPECT_EQ(w.frReport1().Pages->Items(0).ObjectCount(), 3);
    EXPECT_FALSE(w.frReport1().Pages->Items(0).ObjectAt(2)->PreparedMode);
}

TEST_F(MainWindowTest, TemplatesReachTheOpenRecordsThroughFrDBDataSet1) {
    OpenSample();
    SetCurReport(&w.frReport1());
    EXPECT_EQ(w.frReport1().Dataset, &w.frDBDataSet1());
    TfrFoundDataSet found = FindDataSetByName("frDBDataSet1");
    ASSERT_EQ(found.DataSet, &w.frDBDataSet1());
    EXPECT_EQ(FindDataSetByName("frmPrint.frDBDataSet1").DataSet, found.DataSet);
    int records = 0;
    for (found.DataSet->First(); !found.DataSet->Eof(); found.DataSet->Next()) ++records;
    found.DataSet->EndWalk();
    EXPECT_EQ(records, w.ADOQuery1().RecordCount());

    // A memo tag as the designer's field picker writes it.
    w.ADOQuery1().First();
    EXPECT_EQ(frCalculate("[frDBDataSet1.\"NUM\"]").AsString(), "6949428595757");
    SetCurReport(nullptr);
}

TEST(MainWindowCompanions, TheBarcodeComponentBringsTheBarcodeKindIn) {
    frClearAddIns();
    EXPECT_THROW(CreateObject(gtAddIn, "TfrBarCodeView"), EClassNotFound);
    {
        TfrmPrint window; // owns frBarCodeObject1
        auto made = CreateObject(gtAddIn, "TfrBarCodeView");
        EXPECT_NE(dynamic_cast<TfrBarCodeView*>(made.get()), nullptr);
    }
    // The engine error path the window left behind; the start-up hooks stay.
    frEngine().LoadError = false;
    frEngine().LoadErrorMessage.clear();
}

TEST_F(MainWindowTest, BrowseDemoAndExit) {
    nextOpenFile = QStringLiteral("/data/labels.mdb");
    QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(w.Edit1->text(), QStringLiteral("/data/labels.mdb"));
    EXPECT_TRUE(lastFilter.startsWith(QStringLiteral("ACCESS数据库文件(*.mdb)|*.mdb|")));
    nextOpenFile.reset();
    QTest::mouseClick(w.SpeedButton1, Qt::LeftButton); // cancelled: unchanged
    EXPECT_EQ(w.Edit1->text(), QStringLiteral("/data/labels.mdb"));

    QTest::mouseClick(w.Button4, Qt::LeftButton);
    ASSERT_EQ(shellOpened.size(), 1u);
    EXPECT_EQ(shellOpened[0], TfrmPrint::ExeFolder() + QStringLiteral("VideoDemo.exe"));
    EXPECT_TRUE(messages.empty()); // a missing demo is not reported

    w.show();
    QTest::mouseClick(w.BitBtn3, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
}

class SearchTest : public MainWindowTest {};

TEST_F(SearchTest, StatementsForEachTickCombination) {
    OpenSample();
    const QString base = QStringLiteral("select [条码] as [NUM],[名称] as [Title] from [商品]");
    struct Case {
        bool barcode, name;
        QString x, y, where;
        int rows;
    } cases[] = {
        {false, false, "69", "x", "", 60},
        {true, false, "  6949 ", "", R"( where [条码] like "%6949%")", 1},
        {false, true, "", "水", R"( where [名称] like "%水%")", 6},
        {true, true, "69", "油", R"( where [条码] like "%69%" and [名称] like "%油%")", 4},
        {true, false, "", "", R"( where [条码] like "%%")", 57}, // not-null barcodes only
    };
    for (const Case& c : cases) {
        TfrmFind find(&w, &w);
        EXPECT_EQ(find.windowTitle(), QStringLiteral("查询"));
        find.CheckBox1->setChecked(c.barcode);
        find.CheckBox2->setChecked(c.name);
        find.Edit1->setText(c.x);
        find.Edit2->setText(c.y);
        find.show();
        QTest::mouseClick(find.Button1, Qt::LeftButton);
        EXPECT_EQ(Sql(), base + c.where);
        EXPECT_TRUE(w.ADOQuery1().Active());
        EXPECT_EQ(w.DBGrid1->model()->rowCount(), c.rows) << c.where.toStdString();
        EXPECT_FALSE(find.isVisible());
        EXPECT_TRUE(messages.empty());
    }
}

TEST_F(SearchTest, CancelLeavesTheQueryAlone) {
    OpenSample();
    const QString before = Sql();
    TfrmFind find(&w, &w);
    find.CheckBox1->setChecked(true);
    find.Edit1->setText("123");
    find.show();
    QTest::mouseClick(find.Button2, Qt::LeftButton);
    EXPECT_FALSE(find.isVisible());
    EXPECT_EQ(Sql(), before);
    EXPECT_EQ(w.DBGrid1->model()->rowCount(), 60);
}

// Search texts and names are data: quotes and brackets in them are matched
// as typed, in a database whose names hold them too.
TEST_F(SearchTest, QuotesAndBracketsAreSearchedForAsTyped) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quotes.db"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    const char* script = R"(CREATE TABLE "货]架" ("条]码" TEXT, "名""称" TEXT);
        INSERT INTO "货]架" VALUES ('690001', '5" 屏'), ('690002', '5寸屏'),
                                   ('69]03', 'it''s'), (NULL, '5"');)";
    ASSERT_EQ(sqlite3_exec(db, script, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    Connect(path);
    PickTable(QStringLiteral("货]架"));
    PickFields(QStringLiteral("条]码"), QStringLiteral("名\"称"));
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    EXPECT_EQ(Sql(),
              QStringLiteral(R"(select [条]]码] as [NUM],[名"称] as [Title] from [货]]架])"));
    ASSERT_EQ(w.DBGrid1->model()->rowCount(), 4);
    messages.clear();

    struct Case {
        bool barcode, name;
        QString x, y, where;
        QStringList titles;
    } cases[] = {
        {false, true, "", R"(5" 屏)", R"( where [名"称] like "%5"" 屏%")", {R"(5" 屏)"}},
        {false, true, "", R"(5")", R"( where [名"称] like "%5""%")", {R"(5" 屏)", R"(5")"}},
        {false, true, "", "it's", R"( where [名"称] like "%it's%")", {"it's"}},
        {true, false, "]", "", R"( where [条]]码] like "%]%")", {"it's"}},
    };
    const QString base =
        QStringLiteral(R"(select [条]]码] as [NUM],[名"称] as [Title] from [货]]架])");
    for (const Case& c : cases) {
        TfrmFind find(&w, &w);
        find.CheckBox1->setChecked(c.barcode);
        find.CheckBox2->setChecked(c.name);
        find.Edit1->setText(c.x);
        find.Edit2->setText(c.y);
        find.show();
        QTest::mouseClick(find.Button1, Qt::LeftButton);
        EXPECT_TRUE(messages.empty()) << c.where.toStdString();
        messages.clear();
        EXPECT_EQ(Sql(), base + c.where);
        EXPECT_FALSE(find.isVisible());
        QStringList titles;
        for (int row = 0; row < w.DBGrid1->model()->rowCount(); ++row) titles << Cell(row, 1);
        EXPECT_EQ(titles, c.titles) << c.where.toStdString();
    }
}

TEST_F(SearchTest, LayoutAsDesigned) {
    TfrmFind find(&w, &w);
    EXPECT_EQ(find.size(), QSize(297, 114));
    EXPECT_EQ(find.CheckBox1->geometry(), QRect(16, 16, 89, 17));
    EXPECT_EQ(find.CheckBox1->text(), QStringLiteral("条形码字段："));
    EXPECT_EQ(find.Edit1->geometry(), QRect(105, 16, 160, 21));
    EXPECT_EQ(find.Edit2->geometry(), QRect(105, 42, 160, 21));
    EXPECT_EQ(find.CheckBox2->geometry(), QRect(16, 42, 89, 17));
    EXPECT_EQ(find.CheckBox2->text(), QStringLiteral("标签名字段："));
    EXPECT_EQ(find.Button1->geometry(), QRect(125, 84, 75, 25));
    EXPECT_EQ(find.Button2->geometry(), QRect(213, 84, 75, 25));
    EXPECT_FALSE(find.CheckBox1->isChecked());
    EXPECT_FALSE(find.CheckBox2->isChecked());
    EXPECT_EQ(find.CheckBox1->nextInFocusChain(), find.Edit1);
    EXPECT_EQ(find.Edit2->nextInFocusChain(), find.CheckBox2);
    EXPECT_EQ(find.CheckBox2->nextInFocusChain(), find.Button1);
}

TEST_F(WindowTest, AboutWindowClosesOnEscapeAndOnTheExitButtonOnly) {
    {
        TfrmAbout about;
        EXPECT_EQ(about.size(), QSize(480, 320));
        EXPECT_TRUE(about.windowFlags() & Qt::FramelessWindowHint);
        EXPECT_EQ(about.Image1->pixmap().size(), QSize(480, 320));
        EXPECT_EQ(about.Image1->toolTip(), QStringLiteral("单击[ESC]可退出"));
        EXPECT_EQ(about.Image2->geometry(), QRect(369, 18, 91, 30));
        EXPECT_EQ(about.Image2->cursor().shape(), Qt::PointingHandCursor);
        about.show();
        QTest::mouseClick(about.Image1, Qt::LeftButton, {}, QPoint(100, 100)); // outside
        EXPECT_TRUE(about.isVisible());
        QTest::keyClick(&about, Qt::Key_A);
        EXPECT_TRUE(about.isVisible());
        QTest::mouseClick(about.Image2, Qt::LeftButton, {}, QPoint(45, 15));
        EXPECT_FALSE(about.isVisible());
    }
    {
        TfrmAbout about;
        about.show();
        about.Image1->setFocus(); // Esc works wherever the focus is
        QTest::keyClick(about.Image1, Qt::Key_Escape);
        EXPECT_FALSE(about.isVisible());
    }
}

TEST_F(MainWindowTest, ScreenshotForReview) {
    OpenSample();
    w.show();
    const QString out = QString::fromUtf8(TEST_OUTPUT_DIR) + QStringLiteral("/main_window.png");
    ASSERT_TRUE(w.grab().save(out));
    TfrmAbout about;
    about.show();
    ASSERT_TRUE(about.grab().save(QString::fromUtf8(TEST_OUTPUT_DIR) + "/about_window.png"));
}

} // namespace

// The operator's whole path on the sample with the real template: open the
// table, print labels, the preview shows them, its print button opens the
// print dialog, the CUPS PDF queue prints the sheets, and every barcode on
// them scans to its record, in record order. The preview's picture is kept
// for the README (docs/, scripts/screenshots).
TEST_F(MainWindowTest, SampleLabelsGoThroughThePreviewAndThePrintDialogToCups) {
    if (!testcups::TestPrintersReady()) GTEST_SKIP() << "no test CUPS daemon";
    if (!print_test::ReadersAvailable()) GTEST_SKIP() << "no PDF tools or zbarimg";
    TemplateFileLock lock;
    previews.enabled = false;
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(SOURCE_DATA_DIR "/Print.frf"), TfrmPrint::TemplatePath()));
    OpenSample();
    std::vector<std::string> expected;
    for (w.ADOQuery1().First(); !w.ADOQuery1().Eof(); w.ADOQuery1().Next()) {
        const std::string code = rtl::Trim(w.ADOQuery1().FieldByName("Num").AsString());
        if (!code.empty()) expected.push_back("CODE-128:" + code);
    }
    w.ADOQuery1().First();
    const std::string title = LoadResourceString(frsUntitledJob);
    std::set<int> before;
    for (const auto& job : print_test::JobsTitled(testcups::kPdfQueue, title))
        before.insert(job.id);

    enum { kPreview, kDialog, kClose, kDone } stage = kPreview;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* preview = qobject_cast<TfrPreviewForm*>(modal)) {
            if (stage == kPreview) {
                preview->grab().save(QStringLiteral(TEST_OUTPUT_DIR "/label_preview_sample.png"));
                stage = kDialog;
                // Clicked from the event loop, not from inside this timer.
                QMetaObject::invokeMethod(preview->PrintBtn, "click", Qt::QueuedConnection);
            } else if (stage == kClose) {
                stage = kDone;
                preview->close();
            }
        } else if (auto* dialog = qobject_cast<TfrPrintForm*>(modal); dialog && stage == kDialog) {
            stage = kClose;
            dialog->CB1->setCurrentIndex(dialog->CB1->findText(testcups::kPdfQueue));
            QMetaObject::invokeMethod(dialog->Button1, "click", Qt::QueuedConnection);
        }
    });
    poll.start();
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    poll.stop();
    QFile::remove(TfrmPrint::TemplatePath());
    EXPECT_EQ(stage, kDone);
    // The sample has records without a barcode: they print no bars, and the
    // build says so once, not once per label.
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("条码值为空")))
        << messages[0].text.toStdString();

    std::vector<print_test::Job> jobs;
    for (const auto& job : print_test::FinishedJobs(testcups::kPdfQueue, title))
        if (!before.count(job.id)) jobs.push_back(job);
    ASSERT_EQ(jobs.size(), 1u);
    const QString pdf = print_test::JobPdf(jobs[0]);
    ASSERT_FALSE(pdf.isEmpty());
    std::vector<std::string> scanned;
    for (const QString& page : print_test::RenderPages(pdf, 300))
        for (const std::string& code : print_test::Scan(page)) scanned.push_back(code);
    // Every record's code once (the order within a page is the reader's).
    std::sort(scanned.begin(), scanned.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(scanned, expected);
}
