#include "help/THelpForm.h"

#include "help/HelpText.h"
#include "look/ButtonPictures.h"
#include "look/ClassicColours.h"
#include "look/PixelFont.h"
#include "look/ScreenCentre.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

namespace {

constexpr QSize ClientSize(441, 521);
constexpr QRect InfoGeometry(8, 8, 425, 473);
constexpr QRect OKButtonGeometry(360, 488, 75, 25);

bool IsEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

THelpForm::THelpForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("HelpForm"));
    setWindowTitle(QStringLiteral("Help"));
    setFixedSize(ClientSize);
    // Both fonts are 8 pt at the classic 96 dpi, 11 px high.
    setFont(PixelFont::Named("MS Sans Serif", 11));
    // Black around the box; every other colour from the classic palette, so
    // that the box's text and the button read the same under any theme.
    setPalette(ClassicColours::WithWindow(Qt::black,
                                          ClassicColours::Palette().color(QPalette::WindowText)));
    setAutoFillBackground(true);

    m_okButton = new QPushButton(ButtonPictures::CheckMark(), QStringLiteral("OK"), this);
    m_okButton->setIconSize(QSize(ButtonPictures::Size, ButtonPictures::Size));
    m_okButton->setObjectName(QStringLiteral("OKButton"));
    m_okButton->setGeometry(OKButtonGeometry);
    m_okButton->setDefault(true);
    m_okButton->setPalette(ClassicColours::Palette());
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
}

// The box and its text are most of what the window costs in memory, and the
// window may never open: the box is made when the window first shows, and
// kept from then on like the rest of it.
void THelpForm::MakeInfo() {
    m_info = new QPlainTextEdit(this);
    m_info->setObjectName(QStringLiteral("Info"));
    m_info->setGeometry(InfoGeometry);
    m_info->setFont(PixelFont::Named("Tahoma", 11));
    // The box keeps the system's colours; only the window around it is black.
    m_info->setPalette(ClassicColours::Palette());
    m_info->setReadOnly(true);
    m_info->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_info->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_info->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_info->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The text is far longer than the box, so the bar would always show anyway;
    // keeping it fixed keeps the wrapping from shifting.
    m_info->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_info->setTabChangesFocus(true);
    m_info->setPlainText(HelpLines().join(QLatin1Char('\n')));

    setTabOrder(m_info, m_okButton);
    m_info->setFocus();
}

// Made before the window shows, the box shows with it.
void THelpForm::setVisible(bool visible) {
    if (visible && !m_info)
        MakeInfo();
    QDialog::setVisible(visible);
}

// Nothing here can fail, so these overrides need no error guard.
void THelpForm::keyPressEvent(QKeyEvent* event) {
    // There is no cancel button, so Esc closes nothing; and the text box takes
    // Enter for itself, so the default button only answers Enter once the focus
    // has left the box.
    if (event->key() == Qt::Key_Escape || (IsEnter(event->key()) && focusWidget() == m_info)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void THelpForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ScreenCentre::Centre(*this);
}
