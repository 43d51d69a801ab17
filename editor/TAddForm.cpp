#include "editor/TAddForm.h"

#include "editor/ApplicationChooser.h"
#include "editor/ByteLimitValidator.h"
#include "editor/EditorHost.h"
#include "editor/ProgressDisplay.h"
#include "editor/ShortcutChooser.h"
#include "editor/SocketList.h"
#include "look/ButtonPictures.h"
#include "look/ClassicColours.h"
#include "look/MnemonicLabel.h"
#include "look/PixelFont.h"
#include "look/ScreenCentre.h"
#include "platform/ApplicationCatalogue.h"
#include "look/ErrorGuard.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"
#include "store/TrinodeError.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

namespace {

constexpr QSize ClientSize(713, 393);

// Every control speaks Tahoma at 11 pixels unless it says otherwise.
QFont ControlFont() {
    return PixelFont::Named("Tahoma", 11);
}

enum class Holder { SocketFrame, CurrentAlloc, ChangeTo };

// The plain white captions inside the three group boxes.
struct CaptionEntry {
    const char* objectName;
    Holder holder;
    int left;
    int top;
    int width;
    int height;
    const char* text;
};

constexpr CaptionEntry Captions[] = {
    {"Label2", Holder::SocketFrame, 40, 16, 6, 13, "1"},
    {"Label3", Holder::SocketFrame, 112, 16, 6, 13, "2"},
    {"Label4", Holder::SocketFrame, 184, 16, 6, 13, "3"},
    {"Label1", Holder::CurrentAlloc, 8, 24, 56, 13, "Information"},
    {"Label5", Holder::CurrentAlloc, 8, 56, 22, 13, "Path"},
    {"Label6", Holder::ChangeTo, 8, 24, 56, 13, "Information"},
    {"Label7", Holder::ChangeTo, 8, 56, 22, 13, "Path"},
};

template <class Widget> Widget* Place(Widget* widget, const char* objectName, QRect geometry) {
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setGeometry(geometry);
    widget->setFont(ControlFont());
    return widget;
}

QLineEdit* MakeInput(QWidget* parent, const char* objectName, QRect geometry,
                     CombinationRecord::Field field) {
    auto* input = Place(new QLineEdit(parent), objectName, geometry);
    input->setValidator(new ByteLimitValidator(field, input));
    QPalette palette = input->palette();
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Base, Qt::white);
    input->setPalette(palette);
    return input;
}

MnemonicLabel* MakeStat(QWidget* parent, const char* objectName, QRect geometry) {
    auto* stat = Place(new MnemonicLabel(parent), objectName, geometry);
    // A raised outer and a lowered inner edge.
    stat->setFrameStyle(QFrame::Box | QFrame::Raised);
    stat->setLineWidth(1);
    stat->setMidLineWidth(0);
    stat->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    stat->setAutoFillBackground(true);
    QPalette palette = stat->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, ClassicColours::Palette().color(QPalette::WindowText));
    stat->setPalette(palette);
    return stat;
}

QPushButton* MakeButton(QWidget* parent, const char* objectName, QRect geometry, const char* text) {
    auto* button = Place(new QPushButton(QString::fromLatin1(text), parent), objectName, geometry);
    // Standard buttons keep the system's colours on the black window.
    button->setPalette(ClassicColours::Palette());
    return button;
}

// The overwrite question. A message box takes its final size only as it is
// shown, and Qt centres it over its parent; it is centred on the screen at
// that size instead, as the editor is.
class ConfirmBox final : public QMessageBox {
public:
    explicit ConfirmBox(QWidget* parent)
        : QMessageBox(QMessageBox::Question, QStringLiteral("Confirm"),
                      QStringLiteral("Are you sure you want to overwrite this shortcut?"),
                      QMessageBox::Ok | QMessageBox::Cancel, parent) {
        setObjectName(QStringLiteral("ConfirmBox"));
        setDefaultButton(QMessageBox::Ok);
        setEscapeButton(QMessageBox::Cancel);
    }

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        ScreenCentre::Centre(*this);
    }
};

// A chosen path is refused, before the box changes, when the file cannot
// hold it.
void CheckChosenPath(const QByteArray& bytes) {
    const CombinationRecord::Field field = CombinationRecord::Field::Path;
    if (!CombinationRecord::Fits(field, bytes))
        throw TrinodeError(CombinationRecord::TooLong(field, bytes.size()) +
                           QStringLiteral(", so the path is left as it was"));
}

} // namespace

TAddForm::TAddForm(CombinationTable& table, EditorHost& host, QWidget* parent,
                   FileChooser fileChooser)
    : QDialog(parent), m_table(table), m_host(host), m_fileChooser(std::move(fileChooser)) {
    setObjectName(QStringLiteral("AddForm"));
    setWindowTitle(QStringLiteral("Trinode"));
    // A screen reader names the dialog by what it is for; the caption stays.
    setAccessibleName(QStringLiteral("Add/Change Shortcut"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientSize);
    setSizeGripEnabled(false);

    // Whatever the controls do not name comes from the classic palette too.
    setPalette(ClassicColours::WithWindow(Qt::black, Qt::white));
    setAutoFillBackground(true);
    setFont(PixelFont::Named("Trebuchet MS", 11));

    m_catalogue = new ApplicationCatalogue(this);
    if (!m_fileChooser)
        m_fileChooser = [this](const QString& remembered) {
            return ShortcutChooser::Show(this, remembered);
        };

    BuildControls();
    ConnectHandlers();
}

void TAddForm::BuildControls() {
    auto* title = new QLabel(QStringLiteral("Add/Change Shortcut"), this);
    title->setObjectName(QStringLiteral("Label8"));
    title->setGeometry(227, 0, 260, 35);
    title->setFont(PixelFont::Named("Trebuchet MS", 27));

    auto* hint = Place(new QLabel(this), "Label9", QRect(40, 8, 147, 26));
    hint->setText(QStringLiteral("Select sockets from the boxes and assign values to them"));
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);

    auto* socketFrame = Place(new QGroupBox(QStringLiteral("Sockets"), this), "SocketFrame",
                              QRect(8, 40, 225, 345));
    auto* currentAlloc = Place(new QGroupBox(QStringLiteral("Currently Allocated To"), this),
                               "CurrentAlloc", QRect(240, 40, 465, 97));
    auto* changeTo = Place(new QGroupBox(QStringLiteral("Change To"), this), "ChangeTo",
                           QRect(240, 144, 465, 89));
    const auto holderWidget = [&](Holder holder) -> QWidget* {
        switch (holder) {
        case Holder::SocketFrame:
            return socketFrame;
        case Holder::CurrentAlloc:
            return currentAlloc;
        case Holder::ChangeTo:
            return changeTo;
        }
        return this;
    };
    for (const CaptionEntry& caption : Captions)
        Place(new QLabel(QString::fromLatin1(caption.text), holderWidget(caption.holder)),
              caption.objectName, QRect(caption.left, caption.top, caption.width, caption.height));

    MakeSocketLists(*socketFrame);
    MakeBindingBoxes(*currentAlloc, *changeTo);
    MakeButtonsAndProgress();
    const QList<QWidget*> tabOrder{m_sockets[0],  m_sockets[1], m_sockets[2],   m_infoInput,
                                   m_pathInput,   m_browse,     m_applications, m_copyButton,
                                   m_clearButton, m_okButton,   m_cancelButton};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void TAddForm::MakeSocketLists(QWidget& socketFrame) {
    const QColor systemWindow = ClassicColours::Palette().color(QPalette::Base);
    for (int n = 1; n <= int(m_sockets.size()); ++n) {
        const QByteArray name = "Socket" + QByteArray::number(n);
        SocketList* list = Place(new SocketList(&socketFrame), name.constData(),
                                 QRect(8 + (n - 1) * 72, 32, 65, 305));
        QPalette colours = list->palette();
        colours.setColor(QPalette::Text, Qt::black);
        colours.setColor(QPalette::Base, n == 1 ? QColor(Qt::white) : systemWindow);
        list->setPalette(colours);
        list->setAccessibleName(QStringLiteral("Socket %1").arg(n));
        m_sockets[n - 1] = list;
    }
}

void TAddForm::MakeBindingBoxes(QWidget& currentAlloc, QWidget& changeTo) {
    m_infoStat = MakeStat(&currentAlloc, "InfoStat", QRect(80, 24, 233, 21));
    m_pathStat = MakeStat(&currentAlloc, "PathStat", QRect(80, 56, 377, 21));
    m_infoInput =
        MakeInput(&changeTo, "InfoInput", QRect(80, 20, 233, 21), CombinationRecord::Field::Info);
    m_pathInput =
        MakeInput(&changeTo, "PathInput", QRect(80, 52, 353, 21), CombinationRecord::Field::Path);
    m_browse = MakeButton(&changeTo, "Browse", QRect(432, 52, 25, 21), "...");
    // Below the Change To group, on the row of OK and Cancel.
    m_applications =
        MakeButton(this, "ApplicationsButton", QRect(240, 240, 105, 25), "&Applications...");
    m_applications->setAccessibleName(QStringLiteral("Applications"));
    // The boxes' captions are shared by both groups and the browse button
    // shows only dots, so a screen reader gets names of their own.
    m_infoStat->setAccessibleName(QStringLiteral("Currently allocated information"));
    m_pathStat->setAccessibleName(QStringLiteral("Currently allocated path"));
    m_infoInput->setAccessibleName(QStringLiteral("New information"));
    m_pathInput->setAccessibleName(QStringLiteral("New path"));
    m_browse->setAccessibleName(QStringLiteral("Browse"));
    m_copyButton = MakeButton(&changeTo, "CopyButton", QRect(320, 20, 65, 21), "Copy");
    m_clearButton = MakeButton(&changeTo, "ClearButton", QRect(392, 20, 65, 21), "Clear");
}

void TAddForm::MakeButtonsAndProgress() {
    m_okButton = MakeButton(this, "OKButton", QRect(632, 240, 73, 25), "OK");
    m_okButton->setIcon(ButtonPictures::CheckMark());
    m_okButton->setIconSize(QSize(ButtonPictures::Size, ButtonPictures::Size));
    m_okButton->setDefault(true);
    m_cancelButton = MakeButton(this, "CancelButton", QRect(552, 240, 75, 25), "Cancel");
    m_cancelButton->setIcon(ButtonPictures::Cross());
    m_cancelButton->setIconSize(QSize(ButtonPictures::Size, ButtonPictures::Size));

    m_progressLabel = Place(new QLabel(this), "ProgressLabel", QRect(240, 304, 0, 0));
    m_progressLabel->adjustSize();
    m_progressBar = Place(new QProgressBar(this), "ProgressBar", QRect(240, 360, 465, 25));
    m_progressBar->setRange(0, ProgressMaximum);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_progressBar->hide();
}

void TAddForm::ConnectHandlers() {
    using Handler = void (TAddForm::*)();
    const std::array<Handler, 3> socketClicks{&TAddForm::Socket1Click, &TAddForm::Socket2Click,
                                              &TAddForm::Socket3Click};
    for (int i = 0; i < 3; ++i) {
        connect(
            m_sockets[i], &QListWidget::itemSelectionChanged, this,
            [this, click = socketClicks[i]] { ErrorGuard::Guarded([&] { (this->*click)(); }); });
    }
    const auto guardedClick = [this](QPushButton* button, Handler handler) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { ErrorGuard::Guarded([&] { (this->*handler)(); }); });
    };
    guardedClick(m_copyButton, &TAddForm::CopyButtonClick);
    guardedClick(m_clearButton, &TAddForm::ClearButtonClick);
    guardedClick(m_browse, &TAddForm::BrowseClick);
    guardedClick(m_applications, &TAddForm::ApplicationsClick);
    connect(m_infoInput, &QLineEdit::textEdited, this, [this] { m_infoTyped = true; });
    // The result is OK before the handler runs, and the dialog closes with it
    // however the handler ends: declined, done or failed.
    connect(m_okButton, &QPushButton::clicked, this, [this] {
        setResult(QDialog::Accepted);
        ErrorGuard::Guarded([this] { OKButtonClick(); });
        done(QDialog::Accepted);
    });
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TAddForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window manager's re-show is no opening; closing a nested message box
    // or the file chooser does not show this window again at all.
    if (event->spontaneous())
        return;
    ScreenCentre::Centre(*this);
    ErrorGuard::Guarded([this] { FormActivate(); });
}

void TAddForm::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // Once the opening is on the screen the chooser is made, while the
    // user looks at the dialog.
    if (!m_chooser && !m_chooserComing) {
        m_chooserComing = true;
        QTimer::singleShot(0, this, [this] { Chooser(); });
    }
}

ApplicationChooser& TAddForm::Chooser() {
    if (!m_chooser) {
        m_chooser = new ApplicationChooser(*m_catalogue, this);
        // What its first showing would do before it can be drawn.
        m_chooser->ensurePolished();
        m_chooser->layout()->activate();
    }
    return *m_chooser;
}

void TAddForm::FormActivate() {
    m_progressBar->hide();
    m_progressLabel->clear();
    m_progressLabel->adjustSize();
    const Combination values = m_host.CombinationToEdit();
    for (int i = 0; i < 3; ++i)
        m_sockets[i]->SelectValue(values[i]);
    m_selection = values;
    m_infoTyped = false;
    ShowBinding();
    // Whoever opens the editor may well pick an application: the catalogue
    // is read while the user looks at the dialog.
    m_catalogue->Read();
}

void TAddForm::SocketClick(int n) {
    m_selection[n - 1] = m_sockets[n - 1]->SelectedValue();
    ShowBinding();
}

void TAddForm::ShowBinding() {
    const Binding binding = m_table.FindCombination(m_selection);
    m_infoStat->setText(binding.info);
    m_pathStat->setText(binding.path);
}

void TAddForm::CopyButtonClick() {
    m_infoInput->setText(m_infoStat->text());
    m_pathInput->setText(m_pathStat->text());
    m_copied = m_table.Stored(m_selection);
}

void TAddForm::ClearButtonClick() {
    m_infoInput->clear();
    m_pathInput->clear();
}

void TAddForm::BrowseClick() {
    const std::optional<QString> chosen = m_fileChooser(m_rememberedPath);
    if (!chosen)
        return;
    // A symbolic link is the Linux shortcut: what it points at is what runs.
    const QFileInfo file(*chosen);
    QString path = file.absoluteFilePath();
    if (file.isSymLink())
        path = file.exists() ? file.canonicalFilePath() : file.symLinkTarget();
    m_rememberedPath = path;
    CheckChosenPath(CombinationRecord::Encode(path));
    m_pathInput->setText(path);
}

void TAddForm::ApplicationsClick() {
    const std::optional<DesktopApplication> chosen = Chooser().Choose();
    if (!chosen)
        return;
    CheckChosenPath(chosen->desktopFile);
    // The entry's file runs as a launcher. Its name is kept as the bytes the
    // system gave, for as long as the box shows it unchanged.
    m_pathInput->setText(CombinationRecord::Decode(chosen->desktopFile));
    m_copied.path = chosen->desktopFile;
    // The information names the chosen application, unless the user typed
    // one since the dialog opened: a name kept from the last binding would
    // name another application.
    if (!m_infoTyped || m_infoInput->text().isEmpty())
        m_infoInput->setText(
            CombinationRecord::CutToFit(CombinationRecord::Field::Info, chosen->name));
    // The next Enter binds what was chosen, wherever the focus was before.
    m_okButton->setFocus();
}

bool TAddForm::ConfirmOverwrite() {
    ConfirmBox box(this);
    return box.exec() == QMessageBox::Ok;
}

void TAddForm::OKButtonClick() {
    const bool assigned = !m_infoStat->text().isEmpty() || !m_pathStat->text().isEmpty();
    if (assigned && !ConfirmOverwrite())
        return;
    m_progressBar->show();
    m_progressBar->repaint();
    ProgressDisplay progress(*m_progressLabel, *m_progressBar);
    const CombinationTable::Saved saved =
        m_table.AssignCombination(m_selection, BindingToStore(), progress);
    m_host.RefreshCurrent();
    m_progressBar->setValue(0);
    if (!saved.mended.isEmpty())
        ErrorGuard::ShowNotice(saved.mended);
}

StoredBinding TAddForm::BindingToStore() const {
    // A box that still shows exactly what the copied bytes read as keeps
    // those bytes: they may be no valid text (a file name in another
    // encoding), and the text read from them would store other bytes. Any
    // other text is stored by the store's rule.
    const auto bytesOf = [](const QLineEdit& box, const QByteArray& copied) {
        const QString text = box.text();
        if (!copied.isEmpty() && text == CombinationRecord::Decode(copied))
            return copied;
        return CombinationRecord::Encode(text);
    };
    return {bytesOf(*m_infoInput, m_copied.info), bytesOf(*m_pathInput, m_copied.path)};
}
