#include "look/ClassicColours.h"

#include <array>
#include <utility>

QPalette ClassicColours::Palette() {
    const QColor black(0, 0, 0);
    const QColor white(255, 255, 255);
    const QColor face(240, 240, 240);
    // Grey text stays above 4.5:1 against both white and the button face.
    const QColor greyText(109, 109, 109);
    const std::array<std::pair<QPalette::ColorRole, QColor>, 20> roles{{
        {QPalette::WindowText, black},
        {QPalette::Button, face},
        {QPalette::Light, white},
        {QPalette::Midlight, QColor(227, 227, 227)},
        {QPalette::Dark, QColor(160, 160, 160)},
        {QPalette::Mid, QColor(160, 160, 160)},
        {QPalette::Text, black},
        {QPalette::BrightText, white},
        {QPalette::ButtonText, black},
        {QPalette::Base, white},
        {QPalette::Window, face},
        {QPalette::Shadow, QColor(105, 105, 105)},
        {QPalette::Highlight, QColor(0, 0, 128)},
        {QPalette::HighlightedText, white},
        {QPalette::Link, QColor(0, 0, 255)},
        {QPalette::LinkVisited, QColor(128, 0, 128)},
        {QPalette::AlternateBase, QColor(247, 247, 247)},
        {QPalette::ToolTipBase, QColor(255, 255, 225)},
        {QPalette::ToolTipText, black},
        {QPalette::PlaceholderText, greyText},
    }};
    QPalette palette;
    for (const auto& [role, colour] : roles)
        palette.setColor(role, colour);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, greyText);
    // A selection keeps its colour when the window is not the active one.
    palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0, 0, 128));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, white);
    return palette;
}

QPalette ClassicColours::WithWindow(const QColor& window, const QColor& windowText) {
    QPalette palette = Palette();
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, windowText);
    return palette;
}
