#include "store/AssignProgress.h"

void TellingOnce::Stage(const QString& text) {
    if (m_stages.contains(text))
        return;
    m_stages.append(text);
    m_caller.Stage(text);
}

void TellingOnce::Position(int position) {
    if (position <= m_position)
        return;
    m_position = position;
    m_caller.Position(position);
}
