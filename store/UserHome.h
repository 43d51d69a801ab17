#pragma once

// The user's home directory as the system spells it: the bytes of HOME, or,
// when HOME is unset or empty, the home directory the password database gives
// for the user. Kept as bytes, so that a home whose name is not UTF-8 still
// names the right folder. Empty only when neither gives one.

#include <QByteArray>
#include <QString>

namespace UserHome {

QByteArray LocalPath();

// Makes the home folder Trinode's current folder, as a desktop's is: the
// folder where every program that Trinode starts begins (by itself or
// through the desktop), and the one a relative path is taken from. False,
// with the reason in why, when there is none or it cannot be entered.
bool EnterHome(QString* why);

} // namespace UserHome
