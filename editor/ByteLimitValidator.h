#pragma once

#include <QValidator>

// Refuses any text whose stored form (the system's 8-bit encoding, as the
// combination file keeps it) takes more bytes than its field holds. The whole
// edit is refused, so a text is never cut inside a character.
class ByteLimitValidator final : public QValidator {
    Q_OBJECT
public:
    ByteLimitValidator(int maxBytes, QObject* parent);

    int MaxBytes() const { return m_maxBytes; }
    State validate(QString& input, int& position) const override;

private:
    int m_maxBytes;
};
