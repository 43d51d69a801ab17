#include "editor/ApplicationChooser.h"

#include "look/ClassicColours.h"
#include "look/FilterBox.h"
#include "look/ListWindow.h"
#include "look/ScreenCentre.h"
#include "store/WordFilter.h"

#include <QAbstractListModel>
#include <QBoxLayout>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QListView>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include <vector>

namespace {

constexpr QSize StartSize(440, 500);
constexpr int IconPixels = 24;
const QString FallbackIcon = QStringLiteral("application-x-executable");

const QIcon& BlankIcon() {
    static const QIcon blank = [] {
        QPixmap pixmap(IconPixels, IconPixels);
        pixmap.fill(Qt::transparent);
        return QIcon(pixmap);
    }();
    return blank;
}

} // namespace

// The catalogue's applications as rows, each with its icon from the current
// icon theme (hicolor behind it), looked up only when its row is first shown,
// and not before the list has been drawn once: the first lookup reads the
// theme's folders, three milliseconds that the window's appearance need not
// wait for.
class ApplicationList final : public QAbstractListModel {
public:
    static constexpr int SearchRole = Qt::UserRole;

    explicit ApplicationList(QObject* parent) : QAbstractListModel(parent) {}

    void SetApplications(const std::vector<DesktopApplication>* applications) {
        beginResetModel();
        m_applications = applications;
        m_icons.assign(applications ? applications->size() : 0, QIcon());
        endResetModel();
    }
    const DesktopApplication& At(int row) const { return (*m_applications)[size_t(row)]; }

    // From now on each row shown asks for its icon; nothing else changes,
    // so nothing need be sorted or filtered again.
    void ShowIcons() { m_iconsShown = true; }
    bool IconsShown() const { return m_iconsShown; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || !m_applications ? 0 : int(m_applications->size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        const DesktopApplication& application = At(index.row());
        switch (role) {
        case Qt::DisplayRole:
            return application.name;
        case Qt::ToolTipRole:
        case Qt::AccessibleDescriptionRole:
            return application.genericName;
        case Qt::DecorationRole:
            return IconOf(index.row());
        case SearchRole:
            return application.searchText;
        default:
            return {};
        }
    }

private:
    const QIcon& IconOf(int row) const {
        if (!m_iconsShown)
            return BlankIcon();
        QIcon& icon = m_icons[size_t(row)];
        if (icon.isNull()) {
            const QString& name = At(row).icon;
            icon = QDir::isAbsolutePath(name) ? QIcon(name) : QIcon::fromTheme(name);
            if (icon.isNull())
                icon = QIcon::fromTheme(FallbackIcon);
            // An application without any icon keeps its name in line.
            if (icon.isNull())
                icon = BlankIcon();
        }
        return icon;
    }

    const std::vector<DesktopApplication>* m_applications = nullptr;
    mutable std::vector<QIcon> m_icons;
    bool m_iconsShown = false;
};

ApplicationChooser::ApplicationChooser(ApplicationCatalogue& catalogue, QWidget* parent)
    : QDialog(parent, ListWindow::Flags), m_catalogue(catalogue) {
    ListWindow::Dress(*this, QStringLiteral("ApplicationChooser"), QStringLiteral("Applications"),
                      StartSize);
    ListWindow::UseIconTheme();

    MakeList();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_filterBox->WithLabel());
    layout->addWidget(m_list, 1);
    layout->addLayout(MakeButtons());

    connect(&m_catalogue, &ApplicationCatalogue::Ready, this, &ApplicationChooser::Fill);
    setTabOrder(m_filterBox, m_list);
    setFocusProxy(m_filterBox);
    if (m_catalogue.IsRead())
        Fill();
}

void ApplicationChooser::MakeList() {
    m_model = new ApplicationList(this);
    m_filter = new WordFilter(ApplicationList::SearchRole, this);
    m_filter->setSourceModel(m_model);
    m_filter->RankBy(Qt::DisplayRole);
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("ApplicationList"));
    m_list->setAccessibleName(QStringLiteral("Applications"));
    m_list->setPalette(ClassicColours::Palette());
    m_list->setModel(m_filter);
    m_list->setIconSize(QSize(IconPixels, IconPixels));
    m_list->setUniformItemSizes(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_list, &QListView::doubleClicked, this, &ApplicationChooser::Pick);
    m_list->viewport()->installEventFilter(this);
    m_filterBox = new FilterBox(*m_list, *m_filter, this);
    connect(m_filterBox, &FilterBox::Narrowed, this, &ApplicationChooser::ShowCount);
}

QLayout* ApplicationChooser::MakeButtons() {
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("CountLabel"));
    auto* choose = new QPushButton(QStringLiteral("&Choose"), this);
    choose->setObjectName(QStringLiteral("ChooseButton"));
    choose->setPalette(ClassicColours::Palette());
    choose->setDefault(true);
    connect(choose, &QPushButton::clicked, this, &ApplicationChooser::Pick);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setPalette(ClassicColours::Palette());
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_count, 1);
    bottom->addWidget(choose);
    bottom->addWidget(cancel);
    return bottom;
}

std::optional<DesktopApplication> ApplicationChooser::Choose() {
    m_picked.reset();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return m_picked;
}

void ApplicationChooser::done(int result) {
    QDialog::done(result);
    // The next opening starts over; the rows are narrowed back while no one
    // sees them.
    m_filterBox->clear();
}

void ApplicationChooser::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ScreenCentre::Centre(*this);
    m_openingDrawn = false;
    if (m_filled) {
        m_filterBox->SelectFirst();
        ShowCount();
    } else {
        // Nothing to show yet: the reading is what the user waits for.
        m_catalogue.Read();
        Fill();
    }
    m_filterBox->setFocus();
}

void ApplicationChooser::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // Once the opening is on the screen the folders are looked at again; the
    // list changes only if they did.
    if (!m_openingDrawn) {
        m_openingDrawn = true;
        QTimer::singleShot(0, this, [this] { m_catalogue.Read(); });
    }
}

bool ApplicationChooser::eventFilter(QObject* watched, QEvent* event) {
    // The icons come once the list has been drawn: the rows on the screen
    // are drawn again with them.
    if (event->type() == QEvent::Paint && watched == m_list->viewport() &&
        !m_model->IconsShown()) {
        QTimer::singleShot(0, m_list, [this] {
            m_model->ShowIcons();
            m_list->viewport()->update();
        });
    }
    return QDialog::eventFilter(watched, event);
}

void ApplicationChooser::Fill() {
    m_filled = m_catalogue.IsRead();
    m_model->SetApplications(m_filled ? &m_catalogue.Applications() : nullptr);
    m_filterBox->SelectFirst();
    ShowCount();
}

void ApplicationChooser::ShowCount() {
    if (!m_catalogue.IsRead()) {
        m_count->setText(QStringLiteral("Reading the desktop's applications..."));
        return;
    }
    if (!m_catalogue.Failure().isEmpty()) {
        m_count->setText(m_catalogue.Failure());
        return;
    }
    const int all = m_model->rowCount();
    const int shown = m_filter->rowCount();
    const QString noun = all == 1 ? QStringLiteral("application") : QStringLiteral("applications");
    m_count->setText(shown == all ? QStringLiteral("%1 %2").arg(all).arg(noun)
                                  : QStringLiteral("%1 of %2 %3").arg(shown).arg(all).arg(noun));
}

void ApplicationChooser::Pick() {
    const QModelIndex current = m_list->currentIndex();
    if (!current.isValid())
        return;
    m_picked = m_model->At(m_filter->mapToSource(current).row());
    accept();
}
