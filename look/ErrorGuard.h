#pragma once

// The one place where a failure meets the user. Every entry point from Qt into
// Trinode's code (mouse handlers, slots) runs its work through Guarded, so that
// no exception crosses a Qt frame: the failure is shown in the error box and
// the event loop goes on.

#include <QString>

#include <exception>

namespace ErrorGuard {

// The message as the box shows it: a period is appended when the last
// character sorts after ".".
QString BoxText(const QString& message);

// The error box: error icon, OK button, caption "Trinode".
void ShowError(const QString& message);

// A box that tells of something done besides what the user asked for (a
// damaged file mended): information icon, OK button, caption "Trinode". It
// comes once the event loop goes on, after the dialog that asked for the
// work has closed.
void ShowNotice(const QString& message);

// The message of whatever was thrown.
QString MessageOf(std::exception_ptr error);

template <class Work> void Guarded(Work&& work) noexcept {
    try {
        work();
    } catch (...) {
        ShowError(MessageOf(std::current_exception()));
    }
}

} // namespace ErrorGuard
