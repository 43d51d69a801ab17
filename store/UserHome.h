#pragma once

// The user's home directory as the system spells it: the bytes of HOME, or,
// when HOME is unset or empty, the home directory the password database gives
// for the user. Kept as bytes, so that a home whose name is not UTF-8 still
// names the right folder. Empty only when neither gives one.

#include <QByteArray>

namespace UserHome {

QByteArray LocalPath();

} // namespace UserHome
