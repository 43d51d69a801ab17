#include "bindings/BindApplicationsDialog.h"

#include "bindings/BindingsModel.h"
#include "look/ButtonPictures.h"
#include "look/ClassicColours.h"
#include "look/ErrorGuard.h"
#include "look/ListWindow.h"
#include "look/ScreenCentre.h"
#include "platform/Settings.h"
#include "store/AssignProgress.h"
#include "store/CombinationTable.h"

#include <QBoxLayout>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>

namespace {

constexpr QSize StartSize(520, 440);
constexpr int IconPixels = 22;
constexpr int SocketColumnWidth = IconPixels + 12;
enum Column { Socket1, Socket2, Socket3, Application, ColumnCount };

QIcon ApplicationIcon(const QString& name) {
    const QIcon icon = QDir::isAbsolutePath(name) ? QIcon(name) : QIcon::fromTheme(name);
    return icon.isNull() ? QIcon::fromTheme(QStringLiteral("application-x-executable")) : icon;
}

} // namespace

BindApplicationsDialog::BindApplicationsDialog(CombinationTable& table,
                                               std::vector<Proposal> proposals, QWidget* parent)
    : QDialog(parent, ListWindow::Flags), m_table(table), m_proposals(std::move(proposals)) {
    ListWindow::Dress(*this, QStringLiteral("BindApplicationsDialog"),
                      QStringLiteral("Bind Applications"), StartSize);
    ListWindow::UseIconTheme();

    auto* intro =
        new QLabel(m_proposals.empty()
                       ? QStringLiteral("Your desktop names no default or favourite application "
                                        "that is not bound already and has a free chord.")
                       : QStringLiteral("Chords for the applications your desktop names as yours. "
                                        "Enter binds the ticked ones; Esc binds none."),
                   this);
    intro->setWordWrap(true);
    MakeList();
    auto* bind = new QPushButton(ButtonPictures::CheckMark(), QStringLiteral("&Bind"), this);
    bind->setObjectName(QStringLiteral("BindButton"));
    bind->setPalette(ClassicColours::Palette());
    bind->setDefault(true);
    connect(bind, &QPushButton::clicked, this, &BindApplicationsDialog::Bind);
    auto* cancel = new QPushButton(ButtonPictures::Cross(), QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setPalette(ClassicColours::Palette());
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bind);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
}

void BindApplicationsDialog::MakeList() {
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ProposalList"));
    m_list->setAccessibleName(QStringLiteral("Applications to bind"));
    m_list->setPalette(ClassicColours::Palette());
    m_list->setColumnCount(ColumnCount);
    m_list->setHeaderLabels({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                             QStringLiteral("Application")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setIconSize(QSize(IconPixels, IconPixels));
    m_list->header()->setStretchLastSection(true);
    for (const Proposal& proposal : m_proposals) {
        auto* row = new QTreeWidgetItem(m_list);
        for (int socket = Socket1; socket <= Socket3; ++socket) {
            const QString& value = proposal.bound.combination[size_t(socket)];
            row->setIcon(socket, BindingsModel::SocketPicture(value));
            row->setToolTip(socket, BindingsModel::SocketName(value));
        }
        row->setCheckState(Socket1, Qt::Checked);
        row->setIcon(Application, ApplicationIcon(proposal.icon));
        row->setText(Application, proposal.name);
        row->setData(Socket1, Qt::AccessibleTextRole, BindingsModel::SpokenChord(proposal.bound));
    }
    // The check box and the first picture share the first column.
    m_list->setColumnWidth(Socket1, SocketColumnWidth + IconPixels);
    m_list->setColumnWidth(Socket2, SocketColumnWidth);
    m_list->setColumnWidth(Socket3, SocketColumnWidth);
    m_list->setCurrentItem(m_list->topLevelItem(0));
}

void BindApplicationsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ScreenCentre::Centre(*this);
    m_list->setFocus();
}

void BindApplicationsDialog::Bind() {
    std::vector<BoundCombination> kept;
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
        if (m_list->topLevelItem(row)->checkState(Socket1) == Qt::Checked)
            kept.push_back(m_proposals[size_t(row)].bound);
    // Closed first: a failure's box then stands over the main window.
    accept();
    if (kept.empty())
        return;
    ErrorGuard::Guarded([&] {
        NoProgress quiet;
        m_table.AssignCombinations(kept, quiet);
        m_bound = true;
    });
}

bool BindApplicationsDialog::Offer(CombinationTable& table, QWidget* parent) {
    // Offered once by itself, whatever comes of it.
    Settings::SetStarterBindingsOffered();
    std::vector<Proposal> proposals;
    bool read = false;
    ErrorGuard::Guarded([&] {
        proposals = StarterBindings::Propose(table);
        read = true;
    });
    if (!read)
        return false;
    BindApplicationsDialog dialog(table, std::move(proposals), parent);
    dialog.exec();
    return dialog.m_bound;
}
