// The floor for start-up: the smallest Qt Widgets program that shows one empty
// window as large as trinode's, ending the moment it has painted for the first
// time. Like trinode's window it covers the screen's work area and asks to be
// maximised, so that both fill and hold a backing store of the same size.
// With TRINODE_BENCH_UNTIL=rest it lets that paint finish and the event loop
// settle, prints its resident memory ("rest_kib N") and ends. With
// TRINODE_BENCH_FLOOR=picture it shows what trinode must show at rest as
// well: a 600 x 600 picture and a line of large text.

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>

#include <unistd.h>

namespace {

long ResidentKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

class Window final : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        if (qgetenv("TRINODE_BENCH_UNTIL") != "rest")
            ::_exit(0);
        QTimer::singleShot(0, []() {
            std::printf("rest_kib %ld\n", ResidentKib());
            std::fflush(stdout);
            ::_exit(0);
        });
    }
};

} // namespace

int main(int argc, char** argv) {
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    Window window;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.setGeometry(screen->availableGeometry());
    if (qgetenv("TRINODE_BENCH_FLOOR") == "picture") {
        QImage picture(600, 600, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb(x * 255 / 600, y * 255 / 600, (x ^ y) & 0xff));
        auto* shown = new QLabel(&window);
        shown->setPixmap(QPixmap::fromImage(picture));
        shown->setGeometry(0, 0, 600, 600);
        auto* text = new QLabel(QStringLiteral("Music Player"), &window);
        QFont large = text->font();
        large.setPixelSize(28);
        text->setFont(large);
        text->setGeometry(150, 250, 300, 80);
    }
    window.showMaximized();
    return QApplication::exec();
}
