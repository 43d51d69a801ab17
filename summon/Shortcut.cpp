#include "summon/Shortcut.h"

#include <QKeySequence>
#include <QRegularExpression>

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <utility>

namespace {

// Keys that have a name rather than a character; the rest are keyed by the
// character they type.
constexpr std::array<std::pair<int, uint32_t>, 17> NamedKeys{{
    {Qt::Key_Escape, XKB_KEY_Escape},
    {Qt::Key_Tab, XKB_KEY_Tab},
    {Qt::Key_Backspace, XKB_KEY_BackSpace},
    {Qt::Key_Return, XKB_KEY_Return},
    {Qt::Key_Enter, XKB_KEY_KP_Enter},
    {Qt::Key_Insert, XKB_KEY_Insert},
    {Qt::Key_Delete, XKB_KEY_Delete},
    {Qt::Key_Pause, XKB_KEY_Pause},
    {Qt::Key_Print, XKB_KEY_Print},
    {Qt::Key_Home, XKB_KEY_Home},
    {Qt::Key_End, XKB_KEY_End},
    {Qt::Key_Left, XKB_KEY_Left},
    {Qt::Key_Up, XKB_KEY_Up},
    {Qt::Key_Right, XKB_KEY_Right},
    {Qt::Key_Down, XKB_KEY_Down},
    {Qt::Key_PageUp, XKB_KEY_Page_Up},
    {Qt::Key_PageDown, XKB_KEY_Page_Down},
}};

uint32_t KeysymOf(int key) {
    for (const auto& [qtKey, keysym] : NamedKeys)
        if (qtKey == key)
            return keysym;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return XKB_KEY_F1 + uint32_t(key - Qt::Key_F1);
    if (key == Qt::Key_Menu)
        return XKB_KEY_Menu;
    // A key that types a character: Qt names it by its upper case.
    if (key >= 0x20 && key <= 0xffff && QChar(key).isPrint())
        return xkb_keysym_to_lower(xkb_utf32_to_keysym(QChar(key).toLower().unicode()));
    return XKB_KEY_NoSymbol;
}

bool IsFunctionKey(uint32_t keysym) {
    return (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F35) || keysym == XKB_KEY_Print ||
           keysym == XKB_KEY_Pause;
}

unsigned ModifierOf(QStringView word) {
    static const std::array<std::pair<const char*, unsigned>, 10> words{{
        {"control", Shortcut::Control},
        {"ctrl", Shortcut::Control},
        {"primary", Shortcut::Control},
        {"ctl", Shortcut::Control},
        {"alt", Shortcut::Alt},
        {"mod1", Shortcut::Alt},
        {"shift", Shortcut::Shift},
        {"super", Shortcut::Super},
        {"mod4", Shortcut::Super},
        {"meta", Shortcut::Super},
    }};
    for (const auto& [name, modifier] : words)
        if (word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return modifier;
    return Shortcut::Other;
}

} // namespace

std::optional<Shortcut> Shortcut::FromPortableText(const QString& text, QString* why) {
    const QKeySequence sequence = QKeySequence::fromString(text, QKeySequence::PortableText);
    const auto refuse = [&](const QString& reason) {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    if (sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown)
        return refuse(QStringLiteral("\"%1\" is not one shortcut in Qt's notation, such as "
                                     "Ctrl+Alt+Space or Meta+T")
                          .arg(text));
    const QKeyCombination combination = sequence[0];
    Shortcut shortcut;
    shortcut.m_keysym = KeysymOf(combination.key());
    if (shortcut.m_keysym == XKB_KEY_NoSymbol)
        return refuse(QStringLiteral("\"%1\" names a key that cannot be bound (a modifier or a "
                                     "special key)")
                          .arg(text));
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    if (modifiers & Qt::ControlModifier)
        shortcut.m_modifiers |= Control;
    if (modifiers & Qt::AltModifier)
        shortcut.m_modifiers |= Alt;
    if (modifiers & Qt::ShiftModifier)
        shortcut.m_modifiers |= Shift;
    if (modifiers & Qt::MetaModifier)
        shortcut.m_modifiers |= Super;
    // A key that types or moves without Ctrl, Alt or Meta would be taken away
    // from every other program.
    if ((shortcut.m_modifiers & (Control | Alt | Super)) == 0 && !IsFunctionKey(shortcut.m_keysym))
        return refuse(QStringLiteral("%1 needs Ctrl, Alt or Meta, or a function key: other "
                                     "programs need that key for typing")
                          .arg(sequence.toString(QKeySequence::PortableText)));
    shortcut.m_portable = sequence.toString(QKeySequence::PortableText);
    shortcut.m_qtKeyCode = combination.toCombined();
    return shortcut;
}

std::optional<Shortcut> Shortcut::FromAccelerator(const QString& accelerator) {
    static const QRegularExpression form(QStringLiteral("^((?:<[A-Za-z0-9]+>)*)([A-Za-z0-9_]+)$"));
    const QRegularExpressionMatch match = form.match(accelerator.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    Shortcut shortcut;
    static const QRegularExpression word(QStringLiteral("<([A-Za-z0-9]+)>"));
    for (auto it = word.globalMatch(match.captured(1)); it.hasNext();)
        shortcut.m_modifiers |= ModifierOf(it.next().capturedView(1));
    const QByteArray name = match.captured(2).toLatin1();
    shortcut.m_keysym =
        xkb_keysym_to_lower(xkb_keysym_from_name(name.constData(), XKB_KEYSYM_CASE_INSENSITIVE));
    if (shortcut.m_keysym == XKB_KEY_NoSymbol)
        return std::nullopt;
    return shortcut;
}

QString Shortcut::KeyName() const {
    std::array<char, 64> name{};
    xkb_keysym_get_name(m_keysym, name.data(), name.size());
    return QString::fromLatin1(name.data());
}

QString Shortcut::Accelerator(const QString& controlWord) const {
    QString text;
    if (m_modifiers & Control)
        text += QLatin1Char('<') + controlWord + QLatin1Char('>');
    if (m_modifiers & Alt)
        text += QLatin1String("<Alt>");
    if (m_modifiers & Shift)
        text += QLatin1String("<Shift>");
    if (m_modifiers & Super)
        text += QLatin1String("<Super>");
    return text + KeyName();
}

QString Shortcut::SwayNotation() const {
    QString text;
    if (m_modifiers & Control)
        text += QLatin1String("Control+");
    if (m_modifiers & Alt)
        text += QLatin1String("Mod1+");
    if (m_modifiers & Shift)
        text += QLatin1String("Shift+");
    if (m_modifiers & Super)
        text += QLatin1String("Mod4+");
    return text + KeyName();
}

bool IsModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return true;
    default:
        return false;
    }
}
