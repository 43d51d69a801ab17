#pragma once

#include "store/CombinationRecord.h"

#include <QValidator>

// Refuses any text that the store says does not fit its field (its bytes in
// the system's 8-bit encoding, as the combination file keeps them, take more
// than the field's width). The whole edit is refused, so a text is never cut
// inside a character.
class ByteLimitValidator final : public QValidator {
    Q_OBJECT
public:
    ByteLimitValidator(CombinationRecord::Field field, QObject* parent);

    State validate(QString& input, int& position) const override;

private:
    CombinationRecord::Field m_field;
};
