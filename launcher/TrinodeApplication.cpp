#include "launcher/TrinodeApplication.h"

#include "editor/TAddForm.h"
#include "help/THelpForm.h"
#include "launcher/TMainForm.h"

TrinodeApplication::TrinodeApplication() : m_instance(m_table.FilePath()) {}

// The dialogs are children of the main window; they go first.
TrinodeApplication::~TrinodeApplication() {
    m_helpForm.reset();
    m_addForm.reset();
    m_mainForm.reset();
}

bool TrinodeApplication::HandOverToRunningInstance() {
    return m_instance.HandOverOrClaim();
}

// Both dialogs need the font database, whose first use costs more than all the
// rest of start-up; the main window shows nothing that needs it at first.
void TrinodeApplication::MakeDialogs() {
    m_addForm = std::make_unique<TAddForm>(m_table, *m_mainForm, m_mainForm.get());
    m_helpForm = std::make_unique<THelpForm>(m_mainForm.get());
    m_mainForm->SetDialogs(m_addForm.get(), m_helpForm.get());
}

void TrinodeApplication::Start() {
    // The window loads the file when it is first shown; reading it meanwhile
    // on another thread keeps the read off the way to the first paint.
    if (m_table.FileExists())
        m_table.PrefetchFile();
    m_mainForm = std::make_unique<TMainForm>(m_table);
    m_mainForm->SetDialogMaker([this]() { MakeDialogs(); });
    m_instance.Listen([this]() { m_mainForm->BringToFront(); });
    m_mainForm->PlaceOnPointerScreen();
}
