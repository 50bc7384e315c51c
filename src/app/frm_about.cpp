#include "app/frm_about.h"

#include "app/app_fonts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

namespace {

// The click area over the exit button drawn in the picture.
class ClickArea : public QWidget {
public:
    ClickArea(QWidget* parent, std::function<void()> onClick)
        : QWidget(parent), onClick_(std::move(onClick)) {
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) onClick_();
    }

private:
    std::function<void()> onClick_;
};

} // namespace

TfrmAbout::TfrmAbout(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
    Q_INIT_RESOURCE(app);
    setObjectName("frmAbout");
    setWindowTitle(QStringLiteral("关于"));
    setFixedSize(480, 320);
    setFont(WindowFont(QStringLiteral("宋体"), 13));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 0, 480, 320);
    Image1->setPixmap(QPixmap(QStringLiteral(":/app/about.png")));
    Image1->setToolTip(QStringLiteral("单击[ESC]可退出"));

    Image2 = new ClickArea(this, [this] { Image2Click(); });
    Image2->setObjectName("Image2");
    Image2->setGeometry(369, 18, 91, 30);

    // Keys reach the window before its controls, so Esc works wherever the focus is.
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfrmAbout::keyPressEvent(QKeyEvent* event) {
    FormKeyPress(event->key());
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        FormKeyPress(static_cast<QKeyEvent*>(event)->key());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmAbout::FormKeyPress(int key) {
    if (key == Qt::Key_Escape) close();
}

void TfrmAbout::Image2Click() {
    close();
}
