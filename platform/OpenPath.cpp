#include "platform/OpenPath.h"

#include "store/TrinodeError.h"

void OpenPath(const QString& text) { throw TrinodeError(QStringLiteral("Cannot open %1").arg(text)); }
