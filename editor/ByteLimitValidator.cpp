#include "editor/ByteLimitValidator.h"

ByteLimitValidator::ByteLimitValidator(int maxBytes, QObject* parent)
    : QValidator(parent), m_maxBytes(maxBytes) {}

QValidator::State ByteLimitValidator::validate(QString& input, int&) const {
    return input.toLocal8Bit().size() <= m_maxBytes ? Acceptable : Invalid;
}
