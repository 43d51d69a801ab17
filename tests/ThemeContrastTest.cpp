// Every text that the editor and the help window draw, measured on the
// rendered window against what lies behind it: the contrast must reach 4.5:1.
// CTest runs this under the default palette; the theme test runs it again
// under a dark Qt palette and under GTK's dark theme.

#include "bindings/BindingsHost.h"
#include "bindings/TBindingsForm.h"
#include "editor/ApplicationChooser.h"
#include "editor/EditorHost.h"
#include "editor/TAddForm.h"
#include "help/THelpForm.h"
#include "keydialog/SummonKeyDialog.h"
#include "platform/ApplicationCatalogue.h"
#include "store/CombinationTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>

#include <cmath>
#include <functional>
#include <memory>

namespace {

constexpr double Required = 4.5;

double Channel(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(QRgb colour) {
    return 0.2126 * Channel(qRed(colour)) + 0.7152 * Channel(qGreen(colour)) +
           0.0722 * Channel(qBlue(colour));
}

double Contrast(QRgb a, QRgb b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QString Hex(QRgb colour) {
    return QColor(colour).name();
}

struct Reading {
    int textPixels = 0;
    QRgb background = 0;
    QRgb text = 0;
    double contrast = 0;
};

// Renders the window with the text shown and without it; the pixels that
// differ are the text. What lay behind them is the background (its most
// common colour), and the text's colour is the differing pixel that stands
// out most from it: the full ink in the middle of a stroke.
Reading Measure(QWidget& window, QWidget& widget, const std::function<void(bool)>& show) {
    show(true);
    const QImage with = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    show(false);
    const QImage without = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    show(true);
    const qreal ratio = with.devicePixelRatio();
    const QRect logical(widget.mapTo(&window, QPoint(0, 0)), widget.size());
    const QRect area = QRect(QPoint(qRound(logical.left() * ratio), qRound(logical.top() * ratio)),
                             logical.size() * ratio)
                           .intersected(with.rect());
    QHash<QRgb, int> behind;
    QList<QPoint> differing;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (with.pixel(x, y) != without.pixel(x, y)) {
                differing.append({x, y});
                ++behind[without.pixel(x, y)];
            }
        }
    }
    Reading reading;
    reading.textPixels = int(differing.size());
    if (differing.isEmpty())
        return reading;
    int most = 0;
    for (auto it = behind.cbegin(); it != behind.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            reading.background = it.key();
        }
    }
    for (const QPoint& p : differing) {
        const double c = Contrast(with.pixel(p), reading.background);
        if (c > reading.contrast) {
            reading.contrast = c;
            reading.text = with.pixel(p);
        }
    }
    return reading;
}

struct Text {
    QString what;
    QWidget* widget;
    std::function<void(bool)> show;
};

// Every text in the window: captions, labels, buttons, edit boxes, a selected
// and a plain list item, the help text. Empty boxes get a sample text.
QList<Text> TextsOf(QWidget& window) {
    const QString sample = QStringLiteral("Sample & text 0123");
    QList<Text> texts;
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (!child->isVisibleTo(&window))
            continue;
        const QString name = child->objectName();
        if (auto* box = qobject_cast<QGroupBox*>(child)) {
            const QString title = box->title();
            texts.append(
                {name, box, [box, title](bool on) { box->setTitle(on ? title : QString()); }});
        } else if (auto* label = qobject_cast<QLabel*>(child)) {
            const QString text = label->text().isEmpty() ? sample : label->text();
            const bool sizedToText = label->width() == 0;
            texts.append({name, label, [label, text, sizedToText](bool on) {
                              label->setText(on ? text : QString());
                              if (sizedToText && on)
                                  label->adjustSize();
                          }});
        } else if (auto* button = qobject_cast<QAbstractButton*>(child)) {
            const QString text = button->text();
            texts.append({name, button,
                          [button, text](bool on) { button->setText(on ? text : QString()); }});
        } else if (auto* edit = qobject_cast<QLineEdit*>(child)) {
            texts.append(
                {name, edit, [edit, sample](bool on) { edit->setText(on ? sample : QString()); }});
        } else if (auto* list = qobject_cast<QListWidget*>(child)) {
            list->setCurrentRow(3);
            for (int row : {3, 5}) {
                QListWidgetItem* item = list->item(row);
                const QString text = item->text();
                texts.append(
                    {QStringLiteral("%1 %2 item").arg(name, row == 3 ? "selected" : "plain"),
                     list->viewport(),
                     [item, text](bool on) { item->setText(on ? text : QString()); }});
            }
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(child)) {
            const QString text = plain->toPlainText();
            texts.append({name, plain->viewport(),
                          [plain, text](bool on) { plain->setPlainText(on ? text : QString()); }});
        }
    }
    return texts;
}

class NoHost final : public EditorHost, public BindingsHost {
public:
    Combination CombinationToEdit() const override { return {}; }
    void RefreshCurrent() override {}
    void ShowCombination(const Combination&) override {}
    void EditCombination(const Combination&) override {}
};

struct WindowCase {
    const char* name;
    int expectedTexts;
};

class ThemeContrast : public ::testing::TestWithParam<WindowCase> {
protected:
    void SetUp() override {
        m_table.CreateDefaultFile();
        const QString name = QString::fromLatin1(GetParam().name);
        if (name == QLatin1String("Editor"))
            m_window = std::make_unique<TAddForm>(m_table, m_host);
        else if (name == QLatin1String("Bindings"))
            m_window = std::make_unique<TBindingsForm>(m_table, m_host);
        else if (name == QLatin1String("Applications"))
            m_window = std::make_unique<ApplicationChooser>(m_catalogue);
        else if (name == QLatin1String("SummonKey"))
            m_window = std::make_unique<SummonKeyDialog>();
        else
            m_window = std::make_unique<THelpForm>();
        m_window->show();
    }

    TemporaryHome m_home;
    CombinationTable m_table{m_home.CombinationFile()};
    NoHost m_host;
    ApplicationCatalogue m_catalogue;
    std::unique_ptr<QWidget> m_window;
};

TEST_P(ThemeContrast, EveryTextReadsAgainstItsBackground) {
    const QList<Text> texts = TextsOf(*m_window);
    // A text that the walk missed would go unmeasured.
    EXPECT_EQ(texts.size(), GetParam().expectedTexts);
    double lowest = 100;
    for (const Text& text : texts) {
        const Reading reading = Measure(*m_window, *text.widget, text.show);
        EXPECT_GT(reading.textPixels, 0) << text.what.toStdString() << " draws nothing";
        EXPECT_GE(reading.contrast, Required)
            << text.what.toStdString() << ": " << Hex(reading.text).toStdString() << " on "
            << Hex(reading.background).toStdString() << ", " << reading.contrast << ":1";
        if (reading.textPixels > 0)
            lowest = std::min(lowest, reading.contrast);
    }
    std::printf("%s: %lld texts, lowest contrast %.2f:1 (desktop window colour %s)\n",
                GetParam().name, static_cast<long long>(texts.size()), lowest,
                qPrintable(QApplication::palette().color(QPalette::Window).name()));
}

// The editor: 7 captions and 2 titles, 3 group boxes, 6 buttons, 2
// read-only boxes, a progress label, 2 edit boxes and 2 items of each of the
// 3 lists. The bindings window: 3 labels, 5 buttons and its filter box; the
// application chooser: 2 labels, 2 buttons and its filter box; the key
// dialog: 2 labels, 2 check boxes, 3 buttons and the shortcut's box. Their
// lists take the editor's lists' colours.
INSTANTIATE_TEST_SUITE_P(Windows, ThemeContrast,
                         ::testing::Values(WindowCase{"Editor", 29}, WindowCase{"Help", 2},
                                           WindowCase{"Bindings", 10},
                                           WindowCase{"Applications", 5},
                                           WindowCase{"SummonKey", 8}),
                         [](const auto& info) { return std::string(info.param.name); });

// Under the theme test, the desktop's theme really is dark: otherwise the
// readings above would prove nothing about dark themes.
TEST(DesktopTheme, IsDarkWhenTheThemeTestSaysSo) {
    if (qEnvironmentVariable("TRINODE_EXPECT_THEME") != QLatin1String("dark"))
        GTEST_SKIP() << "the default theme";
    EXPECT_LT(QApplication::palette().color(QPalette::Window).lightness(), 96)
        << QApplication::palette().color(QPalette::Window).name().toStdString();
}

} // namespace
