#include "launcher/TMainForm.h"

TMainForm::TMainForm(CombinationTable& table, QWidget* parent) : QWidget(parent), m_table(table) {
    setObjectName(QStringLiteral("MainForm"));
}
