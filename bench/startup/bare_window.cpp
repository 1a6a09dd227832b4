// The start-up benchmark's reference: the least a Qt Widgets program does to show a window,
// a plain widget with one label.
//
//   tk_bench_startup_window WIDTH HEIGHT TITLE [LABEL]

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4) return 2;
    QWidget window;
    window.setWindowTitle(QString::fromLocal8Bit(argv[3]));
    window.resize(QString::fromLocal8Bit(argv[1]).toInt(), QString::fromLocal8Bit(argv[2]).toInt());
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString(), &window));
    window.show();
    return app.exec();
}
