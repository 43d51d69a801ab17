#include "bindings/TBindingsForm.h"

#include "bindings/BindApplicationsDialog.h"
#include "bindings/BindingsHost.h"
#include "bindings/BindingsModel.h"
#include "editor/ProgressDisplay.h"
#include "editor/TAddForm.h"
#include "look/ClassicColours.h"
#include "look/ErrorGuard.h"
#include "look/FilterBox.h"
#include "look/ListWindow.h"
#include "look/ScreenCentre.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"
#include "store/WordFilter.h"

#include <QAccessible>
#include <QBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeView>

namespace {

constexpr QSize StartSize(760, 480);
constexpr int IconPixels = 22;
constexpr int SocketColumnWidth = IconPixels + 12;
constexpr int InformationColumnWidth = 230;

} // namespace

TBindingsForm::TBindingsForm(CombinationTable& table, BindingsHost& host, QWidget* parent)
    : QDialog(parent, ListWindow::Flags), m_table(table), m_host(host) {
    ListWindow::Dress(*this, QStringLiteral("BindingsForm"), QStringLiteral("Bound Combinations"),
                      StartSize);
    BuildControls();
}

void TBindingsForm::BuildControls() {
    MakeList();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_filterBox->WithLabel());
    layout->addWidget(m_list, 1);
    layout->addLayout(MakeStatus());
    layout->addWidget(m_progressBar);
    layout->addLayout(MakeButtons());

    m_filterBox->installEventFilter(this);
    m_list->installEventFilter(this);
    setTabOrder(m_filterBox, m_list);
    setFocusProxy(m_filterBox);
}

void TBindingsForm::MakeList() {
    m_model = new BindingsModel(this);
    m_filter = new WordFilter(BindingsModel::SearchRole, this);
    m_filter->setSourceModel(m_model);
    m_filter->setSortRole(BindingsModel::SortRole);
    m_filter->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_filter->setSortLocaleAware(true);
    m_list = new QTreeView(this);
    m_list->setObjectName(QStringLiteral("BindingsList"));
    m_list->setAccessibleName(QStringLiteral("Bound combinations"));
    m_list->setPalette(ClassicColours::Palette());
    m_list->setModel(m_filter);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setIconSize(QSize(IconPixels, IconPixels));
    // The file's order until a column is chosen; a third click on a column
    // brings it back.
    m_list->header()->setSortIndicatorClearable(true);
    m_list->header()->setSortIndicator(-1, Qt::AscendingOrder);
    m_list->setSortingEnabled(true);
    m_list->header()->setStretchLastSection(true);
    for (int socket = BindingsModel::Socket1; socket <= BindingsModel::Socket3; ++socket)
        m_list->setColumnWidth(socket, SocketColumnWidth);
    m_list->setColumnWidth(BindingsModel::Information, InformationColumnWidth);
    connect(m_list, &QTreeView::doubleClicked, this, [this] { Act(Action::Show); });
    // The buttons that act on a row are there only while one is chosen.
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TBindingsForm::ShowState);
    m_filterBox = new FilterBox(*m_list, *m_filter, this);
    m_filterBox->setPlaceholderText(QStringLiteral("Words of the information, path or buttons"));
    connect(m_filterBox, &FilterBox::Narrowed, this, &TBindingsForm::ShowState);
}

QLayout* TBindingsForm::MakeStatus() {
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("CountLabel"));
    m_progressLabel = new QLabel(this);
    m_progressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar"));
    m_progressBar->setRange(0, TAddForm::ProgressMaximum);
    m_progressBar->setTextVisible(false);
    m_progressBar->hide();
    auto* status = new QHBoxLayout;
    status->addWidget(m_count, 1);
    status->addWidget(m_progressLabel);
    return status;
}

QLayout* TBindingsForm::MakeButtons() {
    // Each button names its key. Tab reaches them, but a click leaves the
    // focus in the filter box, where the typing goes on.
    struct ButtonEntry {
        const char* text;
        const char* name;
        Action action;
    };
    static constexpr ButtonEntry Buttons[] = {
        {"Show (Enter)", "ShowButton", Action::Show},
        {"Run (Ctrl+Enter)", "RunButton", Action::Run},
        {"Change (F2)", "ChangeButton", Action::Edit},
        {"Unbind (Delete)", "UnbindButton", Action::Unbind},
        {"Bind Applications...", "BindApplicationsButton", Action::BindApplications},
        {"Close (Esc)", "CloseButton", Action::Close},
    };
    auto* row = new QHBoxLayout;
    for (const ButtonEntry& entry : Buttons) {
        if (entry.action == Action::BindApplications)
            row->addStretch(1);
        auto* button = new QPushButton(QLatin1String(entry.text), this);
        button->setObjectName(QLatin1String(entry.name));
        button->setPalette(ClassicColours::Palette());
        button->setFocusPolicy(Qt::TabFocus);
        connect(button, &QPushButton::clicked, this,
                [this, action = entry.action] { Act(action); });
        row->addWidget(button);
        if (entry.action != Action::Close && entry.action != Action::BindApplications)
            m_rowButtons.append(button);
    }
    return row;
}

void TBindingsForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ScreenCentre::Centre(*this);
    m_choice = Choice::None;
    ErrorGuard::Guarded([this] { Reload(); });
    // What was typed last time stays, ready to be typed over.
    m_filterBox->selectAll();
    m_filterBox->setFocus();
}

void TBindingsForm::Reload() {
    const std::optional<int> selected = SelectedRow();
    const std::optional<Combination> keep =
        selected ? std::optional(m_model->Row(*selected).combination) : std::nullopt;
    // Twelve thousand rows take a moment to make: only those that changed
    // are made again, and only when the table did.
    if (m_shownVersion != m_table.Version()) {
        m_model->Update(m_table);
        m_shownVersion = m_table.Version();
    }
    m_filterBox->SelectFirst();
    if (keep) {
        for (int row = 0; row < m_filter->rowCount(); ++row) {
            const QModelIndex index = m_filter->index(row, 0);
            if (m_model->Row(m_filter->mapToSource(index).row()).combination == *keep) {
                m_list->setCurrentIndex(index);
                break;
            }
        }
    }
    ShowState();
}

void TBindingsForm::ShowState() {
    const int all = m_model->rowCount();
    const int shown = m_filter->rowCount();
    const QString noun =
        all == 1 ? QStringLiteral("bound combination") : QStringLiteral("bound combinations");
    m_count->setText(all == 0       ? QStringLiteral("No combination is bound yet")
                     : shown == all ? QStringLiteral("%1 %2").arg(all).arg(noun)
                                    : QStringLiteral("%1 of %2 %3").arg(shown).arg(all).arg(noun));
    const bool chosen = SelectedRow().has_value();
    for (QPushButton* button : std::as_const(m_rowButtons))
        button->setEnabled(chosen);
}

std::optional<int> TBindingsForm::SelectedRow() const {
    const QModelIndex current = m_list->currentIndex();
    if (!current.isValid() || !m_list->selectionModel()->isRowSelected(current.row(), {}))
        return std::nullopt;
    return m_filter->mapToSource(current).row();
}

std::optional<TBindingsForm::Action> TBindingsForm::ActionFor(const QObject* watched,
                                                              const QKeyEvent& event) const {
    struct KeyEntry {
        int key;
        Qt::KeyboardModifiers modifiers;
        Action action;
    };
    static const KeyEntry Keys[] = {
        {Qt::Key_Return, Qt::NoModifier, Action::Show},
        {Qt::Key_Enter, Qt::NoModifier, Action::Show},
        {Qt::Key_Return, Qt::ControlModifier, Action::Run},
        {Qt::Key_Enter, Qt::ControlModifier, Action::Run},
        {Qt::Key_F2, Qt::NoModifier, Action::Edit},
        {Qt::Key_Delete, Qt::NoModifier, Action::Unbind},
    };
    const bool fromBox = watched == m_filterBox;
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    for (const KeyEntry& entry : Keys) {
        if (entry.key != event.key() || entry.modifiers != modifiers)
            continue;
        // Delete in the box deletes what follows its cursor, while there is
        // something to delete.
        if (fromBox && entry.action == Action::Unbind &&
            (m_filterBox->hasSelectedText() ||
             m_filterBox->cursorPosition() < m_filterBox->text().size()))
            return std::nullopt;
        return entry.action;
    }
    return std::nullopt;
}

bool TBindingsForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && watched == m_list)
        QMetaObject::invokeMethod(this, &TBindingsForm::AnnounceCurrentRow, Qt::QueuedConnection);
    if (event->type() != QEvent::KeyPress || (watched != m_filterBox && watched != m_list))
        return QDialog::eventFilter(watched, event);
    const std::optional<Action> action = ActionFor(watched, *static_cast<QKeyEvent*>(event));
    if (!action)
        return QDialog::eventFilter(watched, event);
    Act(*action);
    return true;
}

void TBindingsForm::AnnounceCurrentRow() {
    // Qt tells a screen reader of the current row only when it changes while
    // the list has the focus; the row that was current before the focus came
    // is told here, after the list itself.
    const QModelIndex current = m_list->currentIndex();
    if (!QAccessible::isActive() || !current.isValid() || !m_list->hasFocus())
        return;
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(m_list);
    QAccessibleTableInterface* table = list ? list->tableInterface() : nullptr;
    QAccessibleInterface* cell = table ? table->cellAt(current.row(), current.column()) : nullptr;
    if (!cell)
        return;
    QAccessibleEvent focus(m_list, QAccessible::Focus);
    focus.setChild(list->indexOfChild(cell));
    QAccessible::updateAccessibility(&focus);
}

void TBindingsForm::Act(Action action) {
    ErrorGuard::Guarded([&] {
        switch (action) {
        case Action::Show:
            Choose(Choice::Show);
            break;
        case Action::Run:
            Choose(Choice::Run);
            break;
        case Action::Edit:
            EditSelected();
            break;
        case Action::Unbind:
            UnbindSelected();
            break;
        case Action::BindApplications:
            if (BindApplicationsDialog::Offer(m_table, this)) {
                Reload();
                m_host.RefreshCurrent();
            }
            break;
        case Action::Close:
            reject();
            break;
        }
    });
}

void TBindingsForm::Choose(Choice choice) {
    const std::optional<int> row = SelectedRow();
    if (!row)
        return;
    m_chosen = m_model->Row(*row).combination;
    m_choice = choice;
    accept();
}

void TBindingsForm::EditSelected() {
    const std::optional<int> row = SelectedRow();
    if (!row)
        return;
    m_host.EditCombination(m_model->Row(*row).combination);
    Reload();
}

bool TBindingsForm::ConfirmUnbind(const BoundCombination& bound) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"),
                    QStringLiteral("Are you sure you want to unbind %1?")
                        .arg(BindingsModel::SpokenChord(bound)),
                    QMessageBox::Yes | QMessageBox::No, this);
    // The path stands on lines of its own, whole where it fits, and broken
    // after a separator where it must be, never after its first "/".
    box.setInformativeText(CombinationRecord::Decode(bound.binding.path));
    box.setObjectName(QStringLiteral("ConfirmUnbind"));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void TBindingsForm::UnbindSelected() {
    const std::optional<int> row = SelectedRow();
    if (!row)
        return;
    const BoundCombination bound = m_model->Row(*row);
    if (!ConfirmUnbind(bound))
        return;
    // The progress goes away however the save ends; a failure is then shown
    // in the error box.
    struct Hide {
        TBindingsForm& form;
        ~Hide() {
            form.m_progressBar->hide();
            form.m_progressBar->setValue(0);
            form.m_progressLabel->clear();
        }
    } hide{*this};
    m_progressBar->show();
    m_progressBar->repaint();
    CombinationTable::Saved saved;
    {
        ProgressDisplay progress(*m_progressLabel, *m_progressBar);
        saved = m_table.AssignCombination(bound.combination, StoredBinding{}, progress);
    }
    m_host.RefreshCurrent();
    if (!saved.mended.isEmpty())
        ErrorGuard::ShowNotice(saved.mended);
    m_model->RemoveRow(*row);
    m_filterBox->SelectFirst();
    ShowState();
}
