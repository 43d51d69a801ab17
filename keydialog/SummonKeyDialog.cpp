#include "keydialog/SummonKeyDialog.h"

#include "look/ClassicColours.h"
#include "look/ScreenCentre.h"
#include "summon/Autostart.h"
#include "summon/SummonKey.h"
#include "summon/SummonSettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

SummonKeyDialog::SummonKeyDialog(QWidget* parent)
    : QDialog(parent), m_shortcut(new QKeySequenceEdit(this)),
      m_setKey(new QPushButton(tr("&Set key"), this)), m_outcome(new QLabel(this)),
      m_autostart(new QCheckBox(tr("Start Trinode when I &log in"), this)),
      m_dontAsk(new QCheckBox(tr("&Don't ask again"), this)) {
    setObjectName(QStringLiteral("SummonKeyDialog"));
    setWindowTitle(tr("Key for Trinode"));
    setPalette(ClassicColours::Palette());
    setAutoFillBackground(true);

    auto* prompt = new QLabel(tr("Press the &keys that should bring Trinode up:"), this);
    prompt->setBuddy(m_shortcut);
    const auto bound = SummonSettings().Bound();
    m_shortcut->setKeySequence(QKeySequence::fromString(
        bound ? bound->shortcut : QLatin1String(SummonKey::DefaultShortcut),
        QKeySequence::PortableText));
    m_shortcut->setAccessibleName(tr("Shortcut"));
    m_setKey->setObjectName(QStringLiteral("SetKey"));
    m_outcome->setWordWrap(true);
    m_outcome->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_outcome->setAccessibleName(tr("Outcome"));
    m_autostart->setChecked(Autostart::Enabled());
    m_dontAsk->setChecked(SummonSettings().DontAsk());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_setKey, QDialogButtonBox::ApplyRole);

    auto* layout = new QVBoxLayout(this);
    for (QWidget* widget : {static_cast<QWidget*>(prompt), static_cast<QWidget*>(m_shortcut),
                            static_cast<QWidget*>(m_outcome), static_cast<QWidget*>(m_autostart),
                            static_cast<QWidget*>(m_dontAsk), static_cast<QWidget*>(buttons)})
        layout->addWidget(widget);
    setMinimumWidth(420);

    connect(m_setKey, &QPushButton::clicked, this, &SummonKeyDialog::SetKeyClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_autostart, &QCheckBox::toggled, this, &SummonKeyDialog::AutostartToggled);
    connect(m_dontAsk, &QCheckBox::toggled, this, &SummonKeyDialog::DontAskToggled);
    // Qt 6.4's edit takes up to four keys; one is a shortcut.
    connect(m_shortcut, &QKeySequenceEdit::keySequenceChanged, this,
            [this](const QKeySequence& keys) {
                if (keys.count() > 1)
                    m_shortcut->setKeySequence(QKeySequence(keys[0]));
            });
}

void SummonKeyDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ScreenCentre::Centre(*this);
    m_shortcut->setFocus();
}

void SummonKeyDialog::Say(const QString& text) {
    m_outcome->setText(text);
    m_outcome->setAccessibleDescription(text);
    // A window's least size leaves out the height a wrapped text needs at
    // the width it has: asked for here, the window grows to show all lines.
    m_outcome->setMinimumHeight(m_outcome->heightForWidth(m_outcome->width()));
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
