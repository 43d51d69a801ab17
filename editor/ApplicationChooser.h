#pragma once

// The desktop's applications by name and icon, found by typing: the filter
// box keeps the focus, every word narrows the list (by name, generic name,
// keywords and executable), the first application left is selected as the
// user types, so Enter picks it at once; Up and Down move, Esc cancels, a
// double click picks. It shows at once and fills its list when the
// catalogue has been read. One chooser serves every opening: each starts
// with the filter empty and the first application selected, and the list is
// filled again only when the catalogue changed.

#include "platform/ApplicationCatalogue.h"

#include <QDialog>

#include <optional>

class ApplicationList;
class FilterBox;
class QLabel;
class QLayout;
class QListView;
class WordFilter;

class ApplicationChooser final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ApplicationChooser)
public:
    ApplicationChooser(ApplicationCatalogue& catalogue, QWidget* parent = nullptr);

    // Shows the chooser modally: the application picked, or nothing when the
    // user cancels.
    std::optional<DesktopApplication> Choose();
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MakeList();
    // The count of applications, and the buttons.
    QLayout* MakeButtons();
    void Fill();
    void ShowCount();
    void Pick();

    ApplicationCatalogue& m_catalogue;
    std::optional<DesktopApplication> m_picked;
    FilterBox* m_filterBox = nullptr;
    QListView* m_list = nullptr;
    QLabel* m_count = nullptr;
    ApplicationList* m_model = nullptr;
    WordFilter* m_filter = nullptr;
    // The list holds the catalogue's applications as last read.
    bool m_filled = false;
    // Whether this opening has been drawn.
    bool m_openingDrawn = false;
};
