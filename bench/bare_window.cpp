// The bare Qt window that scripts/bench-startup.sh measures the program's start-up against: a
// main window with a tab widget, a line edit, a 50-item combo box, a menu and a status bar, with
// Japanese texts in Qt's default font and style, and nothing else.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("比較用 - 長さ"));

    auto* tabs = new QTabWidget;
    auto* page = new QWidget;
    auto* edit = new QLineEdit(QStringLiteral("0"), page);
    edit->setGeometry(44, 15, 177, 20);
    auto* list = new QComboBox(page);
    for (int i = 1; i <= 50; ++i) {
        list->addItem(QStringLiteral("項目 %1").arg(i));
    }
    list->setGeometry(44, 41, 177, list->sizeHint().height());
    tabs->addTab(page, QStringLiteral("単位変換(&U)"));
    tabs->addTab(new QWidget, QStringLiteral("基数変換(&B)"));
    tabs->setFixedSize(250, 201);
    window.setCentralWidget(tabs);

    QMenu* menu = window.menuBar()->addMenu(QStringLiteral("変換(&C)"));
    menu->addAction(QStringLiteral("通常変換(&N)"));
    menu->addAction(QStringLiteral("終了(&X)"), &window, &QWidget::close);
    window.statusBar()->showMessage(QStringLiteral("準備完了"));

    window.show();
    return QApplication::exec();
}
