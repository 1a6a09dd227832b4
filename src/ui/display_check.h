#pragma once

#include <QByteArray>
#include <QString>

namespace tk {

// The session's display variables, as the program found them at start.
struct DisplayEnvironment {
    QByteArray display;         // DISPLAY
    QByteArray waylandDisplay;  // WAYLAND_DISPLAY
    QByteArray sessionType;     // XDG_SESSION_TYPE
    QByteArray qpaPlatform;     // QT_QPA_PLATFORM
};

// How the program runs on this session, decided before the application object exists (Qt
// aborts on a display it cannot open).
struct DisplayChoice {
    bool usable = false;
    // Run on X11 (XWayland on a Wayland session): placement, the slide and stay-on-top need it.
    bool forceXcb = false;
    // A Wayland session: only X11 programs' windows can be seen from here.
    bool waylandSession = false;
    // Checked by connecting before the start: DISPLAY names an X server to reach.
    bool checkX11 = false;
    // Why the program cannot run here, in Chinese and English; set when not usable.
    QString problem;
};

DisplayEnvironment CurrentDisplayEnvironment();
DisplayChoice ChooseDisplay(const DisplayEnvironment& env);

// Whether the user is told that only X11 programs' windows are recorded on this session.
bool ShouldTellX11WindowsOnly(const DisplayChoice& choice);
QString X11WindowsOnlyNotice();

// The message for an X server that cannot be reached, in Chinese and English.
QString UnreachableDisplayProblem(const QByteArray& display);

// Why the program cannot start on this session (the X server is asked when it has to be);
// empty when it can.
QString DisplayProblem(const DisplayChoice& choice);

// Whether an X server answers at `display`.
bool X11DisplayAnswers(const QByteArray& display);

}  // namespace tk
