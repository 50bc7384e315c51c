#pragma once
// The main window: connect to a database, pick a table and its barcode and
// label-name fields, open them as records, and print or design labels.

#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;
class TDataSourceModel;
class TfrComponentContainer;
class TfrDBDataSet;
class TfrBarCodeObject;
class TfrReport;
class TfrView;
namespace rtl {
class TStringList;
}

namespace db {
class TADOConnection;
class TADOQuery;
} // namespace db

extern const char* const kApplicationTitle;

class TfrmPrint : public QWidget {
    Q_OBJECT
public:
    explicit TfrmPrint(QWidget* parent = nullptr);
    ~TfrmPrint() override;

    // Controls, named as the window's designer named them.
    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLineEdit* Edit1;
    QToolButton* SpeedButton1;
    QLabel* Label6;
    QLineEdit* Edit2;
    QPushButton* Button1;
    QLabel* Label2;
    QComboBox* ComboBox1;
    QLabel* Label3;
    QComboBox* ComboBox2;
    QLabel* Label4;
    QComboBox* ComboBox3;
    QPushButton* Button2;
    QGroupBox* GroupBox2;
    QPushButton* Button3;
    QPushButton* Button4;
    QTableView* DBGrid1;
    QPushButton* BitBtn4;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;

    db::TADOConnection& ADOConnection1() { return *connection_; }
    db::TADOQuery& ADOQuery1() { return *query_; }
    TDataSourceModel& DataSource1() { return *dataSource_; }
    TfrReport& frReport1() { return *report_; }
    TfrDBDataSet& frDBDataSet1() { return *frDBDataSet1_; }
    TfrBarCodeObject& frBarCodeObject1() { return *barCodeObject_; }

    // Closes the query, gives it the statement and opens it; raises on failure.
    void ReopenQuery(const QString& sql);
    // Runs an action, showing any failure in the general error display.
    void RunGuarded(const std::function<void()>& action);

    // The executable's folder with its trailing separator.
    static QString ExeFolder();
    // Where print and design read the label template.
    static QString TemplatePath();

    void SpeedButton1Click();
    void Button1Click();
    void ComboBox1Change();
    void Button2Click();
    void BitBtn4Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void Button3Click();
    void Button4Click();
    void frReport1BeforePrint(rtl::TStringList& Memo, TfrView& View);

private:
    bool CanPrintOrDesign();
    void ErrorAndSelectPath(const QString& message);

    std::unique_ptr<db::TADOConnection> connection_;
    std::unique_ptr<db::TADOQuery> query_;
    std::unique_ptr<TfrReport> report_;
    // Brings the barcode object kind in, so label templates load.
    std::unique_ptr<TfrBarCodeObject> barCodeObject_;
    std::unique_ptr<TfrDBDataSet> frDBDataSet1_;
    // The form's components as templates name them; declared last, so it
    // goes before the components it lists.
    std::unique_ptr<TfrComponentContainer> components_;
    TDataSourceModel* dataSource_;
};
