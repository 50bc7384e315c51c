#include "app/frm_print.h"
#include "app/data_paths.h"
#include "app/label_job.h"
#include "app/statements.h"

#include "app/app_fonts.h"
#include "app/data_source_model.h"
#include "app/frm_about.h"
#include "app/frm_find.h"
#include "app/text_util.h"
#include "platform/db/ado_connection.h"
#include "platform/db/ado_query.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/dialogs.h"
#include "report/barcode/barcode_view.h"
#include "report/engine/db_dataset.h"
#include "report/model/report.h"
#include "report/model/view.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <vector>

const char* const kApplicationTitle = "Velkor条码打印工具";

namespace {

template <class W> W* Place(W* w, const char* name, int left, int top, int width, int height) {
    w->setObjectName(name);
    w->setGeometry(left, top, width, height);
    return w;
}

// Labels are auto-sized from their top-left corner.
// The password box masks with "*", whatever the desktop style prefers.
class StarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QLabel* PlaceLabel(QWidget* parent, const char* name, const QString& caption, int left, int top) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->move(left, top);
    l->adjustSize();
    return l;
}

} // namespace

TfrmPrint::TfrmPrint(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      connection_(std::make_unique<db::TADOConnection>()),
      query_(std::make_unique<db::TADOQuery>(connection_.get())),
      report_(std::make_unique<TfrReport>()), barCodeObject_(std::make_unique<TfrBarCodeObject>()),
      frDBDataSet1_(std::make_unique<TfrDBDataSet>("frDBDataSet1")),
      components_(std::make_unique<TfrComponentContainer>("frmPrint", TfrContainerKind::Form)) {
    // The report walks the query through frDBDataSet1, which templates find
    // by the names the form gives its components.
    BindLabelReport(*components_, *query_, *frDBDataSet1_, *report_);
    report_->InitialZoom = TfrPreviewZoom::pzDefault;
    report_->PreviewButtons = pbZoom | pbLoad | pbSave | pbPrint | pbFind | pbHelp | pbExit;
    report_->RebuildPrinter = false;
    report_->OnBeforePrint = [this](rtl::TStringList& Memo, TfrView& View) {
        frReport1BeforePrint(Memo, View);
    };
    setObjectName("frmPrint");
    setWindowTitle(QStringLiteral("打印条码标签：www.velkor.example"));
    setFixedSize(450, 422);
    setFont(WindowFont(QStringLiteral("宋体"), 13));

    GroupBox1 = Place(new QGroupBox(QStringLiteral("打印数据库中的数据:"), this), "GroupBox1", 17,
                      13, 417, 158);
    Label1 = PlaceLabel(GroupBox1, "Label1", QStringLiteral("数据库路径："), 16, 22);
    Edit1 = Place(new QLineEdit(GroupBox1), "Edit1", 93, 21, 282, 21);
    SpeedButton1 = Place(new QToolButton(GroupBox1), "SpeedButton1", 378, 21, 23, 22);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    SpeedButton1->setIconSize(QSize(16, 16));
    Label6 = PlaceLabel(GroupBox1, "Label6", QStringLiteral("数据库密码："), 15, 49);
    Edit2 = Place(new QLineEdit(GroupBox1), "Edit2", 93, 48, 141, 21);
    Edit2->setEchoMode(QLineEdit::Password);
    auto* starStyle = new StarPasswordStyle;
    starStyle->setParent(this); // made after Edit2, so destroyed after it
    Edit2->setStyle(starStyle);
    Button1 =
        Place(new QPushButton(QStringLiteral("连接数据库"), GroupBox1), "Button1", 240, 47, 84, 25);
    Label2 = PlaceLabel(GroupBox1, "Label2", QStringLiteral("数据表名称："), 15, 75);
    ComboBox1 = Place(new QComboBox(GroupBox1), "ComboBox1", 93, 74, 141, 21);
    Label3 = PlaceLabel(GroupBox1, "Label3", QStringLiteral("条形码字段："), 15, 101);
    ComboBox2 = Place(new QComboBox(GroupBox1), "ComboBox2", 93, 100, 141, 21);
    Label4 = PlaceLabel(GroupBox1, "Label4", QStringLiteral("标签名字段："), 15, 128);
    ComboBox3 = Place(new QComboBox(GroupBox1), "ComboBox3", 93, 127, 141, 21);
    Button2 = Place(new QPushButton(QStringLiteral("打开数据表"), GroupBox1), "Button2", 240, 123,
                    84, 25);
    GroupBox2 = Place(new QGroupBox(GroupBox1), "GroupBox2", 328, 43, 83, 105);
    Button3 = Place(new QPushButton(QStringLiteral("关于"), GroupBox2), "Button3", 5, 9, 74, 46);
    Button4 = Place(new QPushButton(QStringLiteral("演示"), GroupBox2), "Button4", 5, 55, 74, 46);

    dataSource_ = new TDataSourceModel(query_.get(), this);
    dataSource_->setObjectName("DataSource1");
    DBGrid1 = Place(new QTableView(this), "DBGrid1", 16, 176, 417, 201);
    DBGrid1->setModel(dataSource_);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->setDefaultSectionSize(17);
    DBGrid1->verticalHeader()->setFixedWidth(11);
    DBGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    DBGrid1->horizontalHeader()->setFont(font());
    DBGrid1->setColumnWidth(0, 148);
    DBGrid1->setColumnWidth(1, 212);

    BitBtn4 = Place(new QPushButton(QStringLiteral("查询"), this), "BitBtn4", 19, 383, 75, 27);
    BitBtn1 = Place(new QPushButton(QStringLiteral("打印标签"), this), "BitBtn1", 194, 382, 75, 27);
    BitBtn2 = Place(new QPushButton(QStringLiteral("设计标签"), this), "BitBtn2", 276, 382, 75, 27);
    BitBtn3 = Place(new QPushButton(QStringLiteral("退　出"), this), "BitBtn3", 359, 382, 75, 27);
    for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);

    // Tab order: the group's controls, then the bottom buttons, then the grid.
    const std::vector<QWidget*> order = {Edit1,   Edit2,   ComboBox1, ComboBox2, ComboBox3,
                                         Button1, Button2, Button3,   Button4,   BitBtn1,
                                         BitBtn2, BitBtn3, BitBtn4,   DBGrid1};
    for (size_t i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);

    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(Button1, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { Button1Click(); }); });
    connect(ComboBox1, &QComboBox::activated, this,
            [this] { RunGuarded([this] { ComboBox1Change(); }); });
    connect(Button2, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { Button2Click(); }); });
    connect(BitBtn4, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { BitBtn4Click(); }); });
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { BitBtn2Click(); }); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TfrmPrint::~TfrmPrint() {
    // The data source watches the query, which goes with this object's
    // members before Qt deletes the children: let the source go first.
    DBGrid1->setModel(nullptr);
    delete dataSource_;
}

QString TfrmPrint::ExeFolder() {
    QString dir = QCoreApplication::applicationDirPath();
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    return dir;
}

QString TfrmPrint::TemplatePath() {
    return DataFilePath(ExeFolder() + QStringLiteral("/Print.frf"));
}

void TfrmPrint::RunGuarded(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        ui::ShowError(this, FromCp936(e.what()));
    }
}

void TfrmPrint::ReopenQuery(const QString& sql) {
    query_->Close();
    query_->SetSQL(ToCp936(sql));
    query_->Open();
}

void TfrmPrint::ErrorAndSelectPath(const QString& message) {
    ui::ShowError(this, message);
    Edit1->selectAll();
    Edit1->setFocus();
}

void TfrmPrint::SpeedButton1Click() {
    const auto file = ui::GetOpenFileName(
        this,
        QStringLiteral("ACCESS数据库文件(*.mdb)|*.mdb|ACCESS 2007数据库文件(*.accdb)|*.accdb|"
                       "SQLite数据库文件(*.db;*.sqlite;*.sqlite3)|*.db;*.sqlite;*.sqlite3|"
                       "所有文件(*.*)|*"),
        QStringLiteral("mdb"), Edit1->text());
    if (file) Edit1->setText(*file);
}

void TfrmPrint::Button1Click() {
    if (!QFileInfo(Edit1->text()).isFile()) {
        ErrorAndSelectPath(QStringLiteral("请先选择数据库的所在路径"));
        return;
    }
    connection_->Close();
    const QString P = TrimText(Edit1->text());
    const QString W = TrimText(Edit2->text());
    const QString cs = LabelConnectionString(P, W);
    connection_->SetConnectionString(ToCp936(cs));

    std::vector<std::string> tables;
    try {
        connection_->Open();
        ui::ShowInformation(this, QStringLiteral("数据库连接成功"));
        tables = connection_->GetTableNames();
    } catch (const std::exception&) {
        ErrorAndSelectPath(QStringLiteral(
            "该数据库文件可能被以独占方式打开了，或是该数据库的密码有误，请您重新输入"));
        return;
    }
    ComboBox1->clear();
    for (const std::string& t : tables) ComboBox1->addItem(FromCp936(t));
    // Qt would choose the first table on its own without the change handler
    // running; the operator picks one.
    ComboBox1->setCurrentIndex(-1);
}

void TfrmPrint::ComboBox1Change() {
    query_->Close();
    query_->SetSQL(ToCp936(TableStatement(TrimText(ComboBox1->currentText()))));
    try {
        query_->Open();
        const std::vector<std::string> names = query_->GetFieldNames();
        ComboBox2->clear();
        ComboBox3->clear();
        for (const std::string& n : names) ComboBox2->addItem(FromCp936(n));
        for (const std::string& n : names) ComboBox3->addItem(FromCp936(n));
    } catch (const std::exception&) {
        // Swallowed: the field lists keep what they hold.
    }
    query_->Close();
    ComboBox2->setCurrentIndex(-1);
    ComboBox3->setCurrentIndex(-1);
}

void TfrmPrint::Button2Click() {
    const QString table = TrimText(ComboBox1->currentText());
    const QString barcode = TrimText(ComboBox2->currentText());
    const QString label = TrimText(ComboBox3->currentText());
    if (table.isEmpty()) {
        ui::ShowError(this, QStringLiteral("请先连接上数据库，并选择要连接的＂数据表名称＂"));
        return;
    }
    if (barcode.isEmpty()) {
        ui::ShowError(this, QStringLiteral("请选择条形码字段"));
        ComboBox2->setFocus();
        return;
    }
    if (label.isEmpty()) {
        ui::ShowError(this, QStringLiteral("请选择标签名字段"));
        ComboBox3->setFocus();
        return;
    }
    // Not caught here: a failure reaches the general error display.
    ReopenQuery(RecordsStatement(table, barcode, label));
    ui::ShowInformation(this, QStringLiteral("数据表打开完毕"));
}

void TfrmPrint::BitBtn4Click() {
    TfrmFind find(this, this);
    find.exec();
}

bool TfrmPrint::CanPrintOrDesign() {
    if (query_->Active() && !TrimText(ComboBox1->currentText()).isEmpty() &&
        !TrimText(ComboBox2->currentText()).isEmpty() &&
        !TrimText(ComboBox3->currentText()).isEmpty())
        return true;
    ui::ShowError(this, QStringLiteral("请先连接上数据库，并打开数据表"));
    return false;
}

void TfrmPrint::BitBtn1Click() {
    if (!CanPrintOrDesign()) return;
    // A missing template leaves the one the report already holds.
    report_->LoadTemplateFile(ToCp936(TemplatePath()));
    // The labels are built from the open query through frDBDataSet1 and
    // shown in the preview, modal, with the buttons set above.
    report_->BuildAndPreview();
}

void TfrmPrint::BitBtn2Click() {
    if (!CanPrintOrDesign()) return;
    report_->LoadTemplateFile(ToCp936(TemplatePath()));
    // Shows nothing until the designer window installs itself.
    report_->OpenDesigner();
}

void TfrmPrint::BitBtn3Click() {
    close();
}

void TfrmPrint::Button3Click() {
    TfrmAbout about(this);
    about.exec();
}

void TfrmPrint::Button4Click() {
    ui::ShellOpen(ExeFolder() + QStringLiteral("VideoDemo.exe"));
}

void TfrmPrint::frReport1BeforePrint(rtl::TStringList& Memo, TfrView& View) {
    FillLabelBarcode(*query_, Memo, View);
}
