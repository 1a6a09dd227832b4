#include "ui/timer.h"

#include <QEventLoop>

namespace tk {

std::unique_ptr<tk::Timer> QtTimerFactory::MakeTimer(const char* name, std::uint32_t intervalMs,
                                                     bool singleShot, std::function<void()> onTick) {
    auto timer = std::make_unique<TTimer>(static_cast<int>(intervalMs));
    timer->setObjectName(QString::fromLatin1(name));
    timer->SetSingleShot(singleShot);
    QObject::connect(timer.get(), &TTimer::OnTimer, timer.get(), [tick = std::move(onTick)] { tick(); });
    return timer;
}

void QtTimerFactory::Post(std::function<void()> task) {
    // Queued to the context's thread, whichever thread asks (the save writer does).
    QMetaObject::invokeMethod(&m_context, std::move(task), Qt::QueuedConnection);
}

void QtTimerFactory::Wait(int milliseconds) {
    // The spacing keeps painting alive but lets no user input in.
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace tk
