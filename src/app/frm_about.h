#pragma once
// The about window: one picture, closed by Esc or by its drawn exit button.

#include <QDialog>

class QLabel;

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* owner = nullptr);

    QLabel* Image1;
    QWidget* Image2;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormKeyPress(int key);
    void Image2Click();
};
