// The floor for start-up: the smallest Qt Widgets program that shows one empty
// 1024 x 746 window, ending the moment it has painted for the first time.

#include <QApplication>
#include <QWidget>

#include <unistd.h>

namespace {

class Window final : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override { ::_exit(0); }
};

} // namespace

int main(int argc, char** argv) {
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    Window window;
    window.resize(1024, 746);
    window.show();
    return QApplication::exec();
}
