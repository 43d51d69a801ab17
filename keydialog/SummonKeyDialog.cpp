#include "keydialog/SummonKeyDialog.h"

#include "keydialog/ShortcutField.h"
#include "look/ClassicColours.h"
#include "look/ScreenCentre.h"
#include "summon/Autostart.h"
#include "summon/SummonKey.h"
#include "summon/SummonSettings.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

SummonKeyDialog::SummonKeyDialog(QWidget* parent)
    : QDialog(parent), m_shortcut(new ShortcutField(this)),
      m_record(new QPushButton(tr("&Record a new key"), this)),
      m_setKey(new QPushButton(tr("&Set key"), this)), m_outcome(new QLabel(this)),
      m_autostart(new QCheckBox(tr("Start Trinode when I &log in"), this)),
      m_dontAsk(new QCheckBox(tr("&Don't ask again"), this)) {
    setObjectName(QStringLiteral("SummonKeyDialog"));
    setWindowTitle(tr("Key for Trinode"));
    setPalette(ClassicColours::Palette());
    setAutoFillBackground(true);

    auto* prompt = new QLabel(tr("The &key that brings Trinode up:"), this);
    prompt->setBuddy(m_shortcut);
    m_shortcut->setAccessibleName(tr("Shortcut"));
    m_record->setObjectName(QStringLiteral("RecordKey"));
    m_setKey->setObjectName(QStringLiteral("SetKey"));
    // Enter sets the key shown, unless the focus is on another button.
    m_setKey->setDefault(true);
    m_outcome->setWordWrap(true);
    m_outcome->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_outcome->setAccessibleName(tr("Outcome"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_setKey, QDialogButtonBox::ApplyRole);

    auto* field = new QHBoxLayout;
    field->addWidget(m_shortcut, 1);
    field->addWidget(m_record);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addLayout(field);
    for (QWidget* widget : {static_cast<QWidget*>(m_outcome), static_cast<QWidget*>(m_autostart),
                            static_cast<QWidget*>(m_dontAsk), static_cast<QWidget*>(buttons)})
        layout->addWidget(widget);
    setMinimumWidth(420);

    connect(m_record, &QPushButton::clicked, m_shortcut, &ShortcutField::StartRecording);
    // A new key is set with the next Enter.
    connect(m_shortcut, &ShortcutField::Recorded, m_setKey, [this] { m_setKey->setFocus(); });
    connect(m_setKey, &QPushButton::clicked, this, &SummonKeyDialog::SetKeyClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_autostart, &QCheckBox::toggled, this, &SummonKeyDialog::AutostartToggled);
    connect(m_dontAsk, &QCheckBox::toggled, this, &SummonKeyDialog::DontAskToggled);
}

void SummonKeyDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    FormActivate();
    ScreenCentre::Centre(*this);
}

void SummonKeyDialog::FormActivate() {
    const auto bound = SummonSettings().Bound();
    m_shortcut->Show(QKeySequence::fromString(bound ? bound->shortcut
                                                    : QLatin1String(SummonKey::DefaultShortcut),
                                              QKeySequence::PortableText));
    {
        // Showing what is set sets nothing.
        const QSignalBlocker quietAutostart(m_autostart);
        const QSignalBlocker quietDontAsk(m_dontAsk);
        m_autostart->setChecked(Autostart::Enabled());
        m_dontAsk->setChecked(SummonSettings().DontAsk());
    }
    // No outcome yet, and no room kept for the last one.
    Say(QString());
    adjustSize();
    m_shortcut->setFocus();
}

void SummonKeyDialog::Say(const QString& text) {
    m_outcome->setText(text);
    m_outcome->setAccessibleDescription(text);
    // A window's least size leaves out the height a wrapped text needs at
    // the width it has: asked for here, the window grows to show all lines.
    m_outcome->setMinimumHeight(text.isEmpty() ? 0 : m_outcome->heightForWidth(m_outcome->width()));
}

void SummonKeyDialog::SetKeyClick() {
    QString why;
    const auto shortcut = Shortcut::FromPortableText(
        m_shortcut->keySequence().toString(QKeySequence::PortableText), &why);
    if (!shortcut) {
        Say(m_shortcut->keySequence().isEmpty() ? tr("Press the keys first.") : why);
        return;
    }
    const SummonKey::Outcome outcome = SummonKey::Bind(*shortcut);
    Say(outcome.kind == SummonKey::Outcome::Kind::Refused ? tr("Not set: %1.").arg(outcome.message)
                                                          : outcome.message);
}

void SummonKeyDialog::AutostartToggled(bool on) {
    const QString failed = on ? Autostart::Enable() : Autostart::Disable();
    if (!failed.isEmpty()) {
        const QSignalBlocker quiet(m_autostart);
        m_autostart->setChecked(!on);
        Say(failed);
        return;
    }
    Say(on ? tr("Trinode will start when you log in.")
           : tr("Trinode will not start when you log in."));
}

void SummonKeyDialog::DontAskToggled(bool dontAsk) {
    const QString failed = SummonSettings().SetDontAsk(dontAsk);
    if (!failed.isEmpty())
        Say(failed);
}
