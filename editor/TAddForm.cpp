#include "editor/TAddForm.h"

TAddForm::TAddForm(CombinationTable& table, EditorHost& host, QWidget* parent)
    : QDialog(parent), m_table(table), m_host(host) {
    setObjectName(QStringLiteral("AddForm"));
    setWindowTitle(QStringLiteral("Trinode"));
    setFixedSize(713, 393);
}
