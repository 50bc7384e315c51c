#include "report/output/printer_properties_form.h"
#include "report_ui/ui_app.h"

#include "platform/print/test_cups.h"
#include "platform/text/cp936.h"
#include "report/printer/printer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

template <class T> T* Find(QWidget& form, const char* name) {
    T* w = form.findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

class PrinterPropertiesForm : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        ASSERT_TRUE(testcups::TestPrintersReady());
        p.AttachPrinter(&system);
        for (int i = 0; i < p.PrinterNames.Count(); ++i)
            if (p.PrinterNames[i] == testcups::kLabelQueue) p.SelectPrinter(i);
        ASSERT_EQ(p.DeviceName, testcups::kLabelQueue);
        InstallPrinterPropertiesForm(p);
    }

    print::SystemPrinter system;
    TfrPrinter p;
};

TEST_F(PrinterPropertiesForm, ShowsWhatTheDriverOffersWithTheCurrentSettings) {
    print::DeviceMode mode = *p.DeviceMode;
    TfrPrinterPropertiesForm form(system, mode);
    QComboBox* paper = Find<QComboBox>(form, "PaperCB");
    ASSERT_EQ(paper->count(), 5);
    EXPECT_EQ(paper->itemText(0), "Label 60 x 40 mm");
    EXPECT_EQ(paper->itemText(4), QString::fromUtf8("自定义"));
    EXPECT_EQ(paper->currentIndex(), 0); // the driver's default label
    EXPECT_FALSE(Find<QDoubleSpinBox>(form, "WidthE")->isEnabled());
    EXPECT_DOUBLE_EQ(Find<QDoubleSpinBox>(form, "WidthE")->value(), 60.0);
    EXPECT_TRUE(Find<QRadioButton>(form, "PortraitRB")->isChecked());
    EXPECT_EQ(Find<QComboBox>(form, "BinCB")->currentText(), "Label Roll");
    EXPECT_EQ(Find<QComboBox>(form, "ResolutionCB")->currentText(), "203 dpi");
    EXPECT_EQ(form.Result(), mode); // nothing touched, nothing changed but the flags
}

TEST_F(PrinterPropertiesForm, ConfirmedChoicesBecomeThePrintersSettings) {
    QTimer::singleShot(0, [] {
        auto* form = qobject_cast<TfrPrinterPropertiesForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        Find<QComboBox>(*form, "PaperCB")->setCurrentIndex(4); // custom
        Find<QDoubleSpinBox>(*form, "WidthE")->setValue(50);
        Find<QDoubleSpinBox>(*form, "HeightE")->setValue(30);
        Find<QRadioButton>(*form, "LandscapeRB")->setChecked(true);
        Find<QComboBox>(*form, "BinCB")->setCurrentIndex(1);
        Find<QComboBox>(*form, "ResolutionCB")->setCurrentIndex(1);
        form->findChild<QPushButton*>("OkBtn")->click();
    });
    p.ShowPrinterProperties();
    EXPECT_EQ(p.PaperSize, 256);
    EXPECT_EQ(p.Orientation, 1);
    EXPECT_EQ(p.PaperWidth, 300); // landscape: the long side across
    EXPECT_EQ(p.PaperHeight, 500);
    EXPECT_EQ(p.Bin, 4);
    EXPECT_EQ(p.DeviceMode->printQuality, 300);
    EXPECT_EQ(system.CurrentInputSlot(), "Manual");
}

TEST_F(PrinterPropertiesForm, CancelLeavesEverythingAsItWas) {
    const print::DeviceMode before = *p.DeviceMode;
    const int width = p.PaperWidth, height = p.PaperHeight;
    QTimer::singleShot(0, [] {
        QWidget* form = QApplication::activeModalWidget();
        ASSERT_NE(form, nullptr);
        Find<QComboBox>(*form, "PaperCB")->setCurrentIndex(2);
        form->findChild<QPushButton*>("CancelBtn")->click();
    });
    p.ShowPrinterProperties();
    EXPECT_EQ(*p.DeviceMode, before);
    EXPECT_EQ(p.PaperSize, 256);
    EXPECT_EQ(p.PaperWidth, width);
    EXPECT_EQ(p.PaperHeight, height);
}

} // namespace
