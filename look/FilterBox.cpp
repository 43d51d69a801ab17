#include "look/FilterBox.h"

#include "look/ButtonPictures.h"
#include "look/ClassicColours.h"
#include "store/WordFilter.h"

#include <QAbstractItemView>
#include <QAction>
#include <QBoxLayout>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>

FilterBox::FilterBox(QAbstractItemView& list, WordFilter& filter, QWidget* parent)
    : QLineEdit(parent), m_list(list), m_filter(filter) {
    setObjectName(QStringLiteral("FilterBox"));
    setPalette(ClassicColours::Palette());
    setAccessibleName(QStringLiteral("Find"));
    // The clear button, as the toolkit's own would be, with a picture of our
    // own: the style's is looked up in the icon theme, which reads through
    // hundreds of its folders, three milliseconds of the window's opening.
    QAction* clearing = addAction(ButtonPictures::ClearText(), QLineEdit::TrailingPosition);
    clearing->setToolTip(QStringLiteral("Clear"));
    clearing->setVisible(false);
    connect(clearing, &QAction::triggered, this, [this] {
        clear();
        Q_EMIT textEdited(QString());
    });
    // It shows only a picture; a screen reader gets its name.
    for (QToolButton* button : findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        button->setAccessibleName(QStringLiteral("Clear"));
    connect(this, &QLineEdit::textChanged, this, [this, clearing](const QString& text) {
        clearing->setVisible(!text.isEmpty());
        m_filter.SetText(text);
        SelectFirst();
        Q_EMIT Narrowed();
    });
}

QLayout* FilterBox::WithLabel() {
    auto* label = new QLabel(QStringLiteral("&Find:"), parentWidget());
    label->setBuddy(this);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(this, 1);
    return row;
}

void FilterBox::SelectFirst() {
    const QModelIndex first = m_filter.index(0, 0);
    m_list.setCurrentIndex(first);
    if (first.isValid())
        m_list.scrollTo(first);
}

void FilterBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        QCoreApplication::sendEvent(&m_list, event);
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}
