#include "ui/display_check.h"

#include <QtGlobal>

#if defined(TK_HAVE_XCB)
#include <xcb/xcb.h>
#endif

namespace tk {

DisplayEnvironment CurrentDisplayEnvironment() {
    return {qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"),
            qgetenv("QT_QPA_PLATFORM")};
}

DisplayChoice ChooseDisplay(const DisplayEnvironment& env) {
    DisplayChoice choice;
    const QByteArray platform = env.qpaPlatform.trimmed();
    // Asked for by name (offscreen for tests, a VNC server...): the user knows best, except that
    // Wayland itself cannot place or slide the window.
    if (!platform.isEmpty() && !platform.startsWith("wayland") && !platform.startsWith("xcb")) {
        choice.usable = true;
        return choice;
    }
    choice.waylandSession = !env.waylandDisplay.isEmpty() || env.sessionType == "wayland" ||
                            platform.startsWith("wayland");
    if (env.display.isEmpty()) {
        choice.problem =
            choice.waylandSession
                ? QStringLiteral(
                      "TarvoKelmora 需要 XWayland：这个 Wayland 会话没有提供 X11 显示（DISPLAY 未设置）。"
                      "请安装或启用 XWayland 后再试。\n"
                      "TarvoKelmora needs XWayland: this Wayland session offers no X11 display "
                      "(DISPLAY is not set). Install or enable XWayland and try again.")
                : QStringLiteral(
                      "TarvoKelmora 需要图形桌面：没有找到显示（DISPLAY 未设置）。\n"
                      "TarvoKelmora needs a graphical desktop: no display was found "
                      "(DISPLAY is not set).");
        return choice;
    }
    choice.usable = true;
    choice.checkX11 = true;
    choice.forceXcb = choice.waylandSession;
    return choice;
}

bool ShouldTellX11WindowsOnly(const DisplayChoice& choice) {
    // Windows are listed through X alone; a Wayland session's own windows stay out of sight.
    return choice.usable && choice.waylandSession;
}

QString X11WindowsOnlyNotice() {
    return QStringLiteral("Wayland 会话中只能看到 X11 程序的窗口；文件夹和浏览器网页仍会记录。");
}

QString UnreachableDisplayProblem(const QByteArray& display) {
    const QString name = QString::fromLocal8Bit(display);
    return QStringLiteral("TarvoKelmora 无法连接到显示 %1。\n"
                          "TarvoKelmora cannot connect to the display %1.")
        .arg(name);
}

QString DisplayProblem(const DisplayChoice& choice) {
    if (!choice.usable) return choice.problem;
    if (choice.checkX11) {
        const QByteArray display = qgetenv("DISPLAY");
        if (!X11DisplayAnswers(display)) return UnreachableDisplayProblem(display);
    }
    return {};
}

bool X11DisplayAnswers(const QByteArray& display) {
#if defined(TK_HAVE_XCB)
    xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
    const bool ok = connection != nullptr && xcb_connection_has_error(connection) == 0;
    if (connection != nullptr) xcb_disconnect(connection);
    return ok;
#else
    Q_UNUSED(display);
    return true;
#endif
}

}  // namespace tk
