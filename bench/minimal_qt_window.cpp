// The reference for the program's start-up: the smallest Qt Widgets program
// that shows a window of the same size. With --exit-when-shown it ends as soon
// as the window has been shown and painted, as vantor does with that option;
// --exit-when-idle is the same here (the window has nothing more to build).
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool exitWhenShown = argc > 1 && (std::strcmp(argv[1], "--exit-when-shown") == 0 ||
                                            std::strcmp(argv[1], "--exit-when-idle") == 0);

    QWidget window;
    window.setFixedSize(900, 600);
    QLabel label(QStringLiteral("Hello"), &window);
    label.move(20, 20);
    window.show();
    if (exitWhenShown) {
        QTimer::singleShot(0, &window, [&] {
            window.repaint();
            QCoreApplication::exit(0);
        });
    }
    return app.exec();
}
