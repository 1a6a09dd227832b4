#include "ui/drop_files_target.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QLoggingCategory>
#include <QMimeData>
#include <QUrl>
#include <exception>

#include "ui/application.h"

Q_LOGGING_CATEGORY(lcDrop, "tarvokelmora.drop", QtWarningMsg)

namespace tk {

namespace {

// The widget that drag events are delivered to.
QWidget* DropReceiver(QWidget* control) {
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control)) {
        if (area->viewport() != nullptr) return area->viewport();
    }
    return control;
}

// Tells the source the drop (or the drag so far) is taken. Copy when the source offers it:
// we only record names, and a move taken here would have the source remove its files.
void Acknowledge(QDropEvent* event) {
    if (event->possibleActions() & Qt::CopyAction) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->acceptProposedAction();
    }
}

// A failed handler must not unwind through Qt's event delivery (parts of Qt are built
// without exception support), so the error goes to the application-wide handler here.
void Discard(const char* what) {
    if (auto* app = qobject_cast<TApplication*>(QCoreApplication::instance())) {
        app->ApplicationEvents1Exception(what);
    } else {
        qCInfo(lcDrop) << "drop handler failed:" << what;
    }
}

}  // namespace

void TDropFilesInfo::Assign(const TDropFilesInfo& source) {
    if (&source == this) return;
    DropControl = source.DropControl;
    DropTime = source.DropTime;
    DropPoint = source.DropPoint;
    Files = source.Files;
}

TDropFilesTarget::TDropFilesTarget(QObject* owner) : QObject(owner) {}

TDropFilesTarget::~TDropFilesTarget() {
    m_destroying = true;
    SetTargetControl(nullptr);
}

void TDropFilesTarget::SetEnabled(bool value) {
    if (value == m_enabled) return;
    DetachTarget();
    m_enabled = value;
    AttachTarget();
}

void TDropFilesTarget::SetTargetControl(QWidget* value) {
    if (value == m_targetControl) return;
    DetachTarget();
    if (m_freeNotification) disconnect(m_freeNotification);
    m_freeNotification = {};
    m_targetControl = value;
    m_targetDestroying = false;
    if (value != nullptr) {
        m_freeNotification =
            connect(value, &QObject::destroyed, this, &TDropFilesTarget::TargetDestroyed);
    }
    AttachTarget();
}

void TDropFilesTarget::TargetDestroyed(QObject* control) {
    if (control != m_targetControl) return;
    // Its widgets are half gone: nothing of them is touched again.
    m_targetDestroying = true;
    SetTargetControl(nullptr);
}

void TDropFilesTarget::AttachTarget() {
    if (m_destroying) return;
    if (m_targetControl == nullptr || !m_enabled || m_targetDestroying) return;
    QWidget* receiver = DropReceiver(m_targetControl);
    m_hookedControl = m_targetControl;
    m_acceptingWidget = receiver;
    m_savedAcceptDrops = receiver->acceptDrops();
    // Filters run newest first, so ours sees drags before the control's own handling.
    m_targetControl->installEventFilter(this);
    if (receiver != m_targetControl) receiver->installEventFilter(this);
    receiver->setAcceptDrops(true);
}

void TDropFilesTarget::DetachTarget() {
    if (!m_targetDestroying) {
        if (m_acceptingWidget) {
            m_acceptingWidget->removeEventFilter(this);
            m_acceptingWidget->setAcceptDrops(m_savedAcceptDrops);
        }
        if (m_hookedControl) m_hookedControl->removeEventFilter(this);
    }
    m_acceptingWidget = nullptr;
    m_hookedControl = nullptr;
    m_savedAcceptDrops = false;
    m_dragCarriesFiles = false;
}

void TDropFilesTarget::FollowReceiver() {
    m_followPending = false;
    if (m_hookedControl && DropReceiver(m_hookedControl) != m_acceptingWidget.data()) {
        DetachTarget();
        AttachTarget();
    }
}

bool TDropFilesTarget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_hookedControl && watched != m_acceptingWidget) {
        // A scroll area whose viewport is replaced adds and removes a child; the new one is
        // taken once the replacement has finished.
        const auto type = event->type();
        if ((type == QEvent::ChildAdded || type == QEvent::ChildRemoved) && !m_followPending) {
            m_followPending = true;
            QMetaObject::invokeMethod(this, &TDropFilesTarget::FollowReceiver, Qt::QueuedConnection);
        }
        return false;
    }
    if (watched != m_acceptingWidget) return false;

    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        // The data stays the same during a drag, and fetching it from another program costs a
        // round trip: it is looked at on entering, not on every move.
        if (event->type() == QEvent::DragEnter || !m_dragCarriesFiles) {
            m_dragCarriesFiles = !LocalPaths(drag->mimeData()).isEmpty();
        }
        if (!m_dragCarriesFiles) return false;  // the control's own business
        Acknowledge(drag);
        return true;
    }
    case QEvent::DragLeave:
        m_dragCarriesFiles = false;
        return false;
    case QEvent::Drop: {
        m_dragCarriesFiles = false;
        auto* drop = static_cast<QDropEvent*>(event);
        QStringList files = LocalPaths(drop->mimeData());
        if (files.isEmpty()) return false;
        // The handler may change the target or delete this component; nothing of ours is
        // touched after it returns.
        try {
            if (m_onDropFiles) DoDropFiles(*drop, std::move(files));
        } catch (const std::exception& e) {
            Acknowledge(drop);
            Discard(e.what());
            return true;
        } catch (...) {
            Acknowledge(drop);
            Discard("unknown error");
            return true;
        }
        Acknowledge(drop);
        return true;
    }
    default:
        return false;
    }
}

void TDropFilesTarget::DoDropFiles(const QDropEvent& drop, QStringList files) {
    TDropFilesInfo info;
    info.DropTime = QDateTime::currentDateTime();
    info.DropControl = m_targetControl;
    info.DropPoint = m_acceptingWidget->mapTo(m_targetControl, drop.position().toPoint());
    info.Files = std::move(files);
    // Keep the handler alive even if it replaces itself.
    const TDropFilesEvent handler = m_onDropFiles;
    handler(this, info);
}

QStringList TDropFilesTarget::LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        QString path = url.toLocalFile();
        if (!QDir::isAbsolutePath(path)) continue;
        // A folder may come with a closing separator; its name is kept without one, as the
        // history tells entries apart by their text. A root keeps its separator.
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')) && !path.endsWith(QLatin1String(":/"))) {
            path.chop(1);
        }
        paths << QDir::toNativeSeparators(path);
    }
    return paths;
}

}  // namespace tk
