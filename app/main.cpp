#include "launcher/TMainForm.h"
#include "store/CombinationTable.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trinode"));
    CombinationTable table;
    TMainForm mainForm(table);
    mainForm.showMaximized();
    return QApplication::exec();
}
