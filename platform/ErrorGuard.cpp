#include "platform/ErrorGuard.h"

#include "store/TrinodeError.h"

#include <QApplication>
#include <QMessageBox>

namespace ErrorGuard {

QString BoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ShowError(const QString& message) {
    try {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Trinode"), BoxText(message),
                        QMessageBox::Ok, QApplication::activeWindow());
        box.setObjectName(QStringLiteral("ErrorBox"));
        box.exec();
    } catch (...) {
        // Nothing is left to tell the user with; the event loop must go on.
    }
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
