#include "look/ErrorGuard.h"

#include "store/TrinodeError.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace ErrorGuard {

QString BoxText(const QString& message) {
    // A message can carry what the system read (a launcher's line of two
    // megabytes): the box shows its start, which a person can read, and
    // stays quick to lay out.
    constexpr qsizetype MaxLength = 500;
    QString text = message;
    if (text.size() > MaxLength) {
        text.truncate(MaxLength - 1);
        if (text.back().isHighSurrogate())
            text.chop(1);
        text += QChar(0x2026);
    }
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

namespace {

void ShowBox(QMessageBox::Icon icon, const QString& name, const QString& message) {
    try {
        QMessageBox box(icon, QStringLiteral("Trinode"), BoxText(message), QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setObjectName(name);
        box.exec();
    } catch (...) {
        // Nothing is left to tell the user with; the event loop must go on.
    }
}

} // namespace

void ShowError(const QString& message) {
    ShowBox(QMessageBox::Critical, QStringLiteral("ErrorBox"), message);
}

void ShowNotice(const QString& message) {
    QTimer::singleShot(0, qApp, [message] {
        ShowBox(QMessageBox::Information, QStringLiteral("NoticeBox"), message);
    });
}

QString MessageOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const TrinodeError& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unexpected failure");
    }
}

} // namespace ErrorGuard
