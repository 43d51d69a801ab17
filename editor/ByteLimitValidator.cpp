#include "editor/ByteLimitValidator.h"

ByteLimitValidator::ByteLimitValidator(CombinationRecord::Field field, QObject* parent)
    : QValidator(parent), m_field(field) {}

QValidator::State ByteLimitValidator::validate(QString& input, int&) const {
    return CombinationRecord::Fits(m_field, CombinationRecord::Encode(input)) ? Acceptable
                                                                              : Invalid;
}
