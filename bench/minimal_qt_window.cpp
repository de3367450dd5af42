// The reference for the program's start-up: the smallest Qt Widgets program
// that shows a window of the same size. With --exit-when-shown (or
// --exit-when-idle, the same here: there is nothing more to build) it ends as
// soon as the window has been painted for the first time, as vantor does.
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

namespace {

class Window : public QWidget {
public:
    explicit Window(bool exitWhenPainted) : exitWhenPainted_(exitWhenPainted) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        QWidget::paintEvent(event);
        if (exitWhenPainted_) QCoreApplication::exit(0);
    }

private:
    bool exitWhenPainted_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool exitWhenShown =
        argc > 1 && (std::strcmp(argv[1], "--exit-when-shown") == 0 || std::strcmp(argv[1], "--exit-when-idle") == 0);
    Window window(exitWhenShown);
    window.setFixedSize(900, 600);
    QLabel label(QStringLiteral("Hello"), &window);
    label.move(20, 20);
    window.show();
    return app.exec();
}
