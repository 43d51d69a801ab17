#pragma once

// The windows the main window opens: the editor, help, the bindings window
// and the summon key dialog. Each is made by its maker when it is first
// needed and kept from then on; one never opened costs nothing. The makers
// give the window its parent, which owns it.

#include <functional>

class QDialog;
class TBindingsForm;

class MainDialogs final {
public:
    struct Makers {
        std::function<QDialog*()> editor = nullptr;
        std::function<QDialog*()> help = nullptr;
        std::function<TBindingsForm*()> bindings = nullptr;
        std::function<QDialog*()> summonKey = nullptr;
    };
    void SetMakers(Makers makers);

    // The window, made now if it was not; none without a maker.
    QDialog* Editor();
    QDialog* Help();
    TBindingsForm* Bindings();
    QDialog* SummonKey();

private:
    Makers m_makers;
    QDialog* m_editor = nullptr;
    QDialog* m_help = nullptr;
    TBindingsForm* m_bindings = nullptr;
    QDialog* m_summonKey = nullptr;
};
