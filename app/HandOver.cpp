#include "app/HandOver.h"

#include "platform/X11ServerTime.h"

#include <QByteArray>

#include <cstdio>

namespace {

QByteArray Platform() {
    return qgetenv("QT_QPA_PLATFORM");
}

bool WantsWayland(const QByteArray& platform) {
    return platform.startsWith("wayland") ||
           (platform.isEmpty() && qgetenv("XDG_SESSION_TYPE") == "wayland");
}

// The startup id or activation token this start was given; on X11 without
// either, a fresh server time, the proof that the user just asked.
SummonRequest Summon() {
    SummonRequest request = SummonRequest::FromEnvironment();
    if (request.StartupTime() == 0 && request.activationToken.isEmpty() &&
        !WantsWayland(Platform()) && !qEnvironmentVariableIsEmpty("DISPLAY"))
        request.x11Time = X11ServerTime();
    return request;
}

} // namespace

namespace HandOver {

std::optional<int> RefuseWithoutDisplay() {
    // A desktop platform needs its display named; say so before anything
    // else looks for one.
    const QByteArray platform = Platform();
    const bool desktop =
        platform.isEmpty() || platform.startsWith("xcb") || platform.startsWith("wayland");
    if (!desktop || !qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return std::nullopt;
    std::fputs("trinode: no display: neither DISPLAY nor WAYLAND_DISPLAY is set\n", stderr);
    return ExitNoDisplay;
}

SingleInstance::RequestMaker RequestFor(bool background) {
    return background ? SingleInstance::RequestMaker() : SingleInstance::RequestMaker(&Summon);
}

std::optional<int> Leave(SingleInstance::Outcome outcome, const QString& message) {
    const QByteArray text = message.toLocal8Bit();
    switch (outcome) {
    case SingleInstance::Outcome::Activated:
        return 0;
    case SingleInstance::Outcome::Running:
        std::printf("%s; left as it is\n", text.constData());
        return 0;
    case SingleInstance::Outcome::Refused:
        std::fprintf(stderr, "trinode: %s\n", text.constData());
        return ExitNotActivated;
    case SingleInstance::Outcome::Alone:
        std::fprintf(stderr, "trinode: %s; starting on its own\n", text.constData());
        return std::nullopt;
    case SingleInstance::Outcome::Claimed:
        if (!text.isEmpty())
            std::fprintf(stderr, "trinode: %s\n", text.constData());
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace HandOver
