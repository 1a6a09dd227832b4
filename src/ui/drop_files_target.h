#pragma once

#include <QDateTime>
#include <QMetaObject>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>

class QDropEvent;
class QMimeData;

namespace tk {

// What one drop brought. The component hands out a temporary one per drop; a handler that
// wants to keep the data copies it with Assign.
class TDropFilesInfo {
public:
    QPointer<QWidget> DropControl;  // the target control when the drop arrived
    QDateTime DropTime;             // local time of the drop
    QPoint DropPoint;               // in the target control's coordinates
    QStringList Files;              // absolute paths, in the order the source gave them

    void Assign(const TDropFilesInfo& source);
};

class TDropFilesTarget;
using TDropFilesEvent = std::function<void(TDropFilesTarget* sender, const TDropFilesInfo& info)>;

// Makes one control accept files dropped from the desktop (text/uri-list carrying file URLs)
// and turns each drop into one OnDropFiles call. While disabled or without a target, nothing
// here accepts drops and the control has its own drag-and-drop handling back.
//
// Drags go to the innermost widget under the pointer that accepts drops; over a scroll area
// (a tree view) that is its viewport, so the viewport is switched to accept drops and watched,
// ahead of the view's own handling.
// Watching is an event filter, so a re-created native window keeps working unaided; a
// replaced viewport is picked up when the control's children change.
class TDropFilesTarget : public QObject {
    Q_OBJECT
public:
    explicit TDropFilesTarget(QObject* owner = nullptr);
    ~TDropFilesTarget() override;

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);

    QWidget* TargetControl() const { return m_targetControl; }
    void SetTargetControl(QWidget* value);

    const TDropFilesEvent& OnDropFiles() const { return m_onDropFiles; }
    void SetOnDropFiles(TDropFilesEvent handler) { m_onDropFiles = std::move(handler); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The file paths a drag carries: local file URLs only, as absolute native paths, in
    // order. Other URLs (web addresses) are left out: a drop reports files and folders only.
    static QStringList LocalPaths(const QMimeData* data);
    void AttachTarget();
    void DetachTarget();
    void DoDropFiles(const QDropEvent& drop, QStringList files);
    void TargetDestroyed(QObject* control);
    void FollowReceiver();

    bool m_enabled = true;
    QWidget* m_targetControl = nullptr;
    TDropFilesEvent m_onDropFiles;
    QMetaObject::Connection m_freeNotification;
    bool m_destroying = false;
    bool m_targetDestroying = false;
    bool m_followPending = false;
    bool m_dragCarriesFiles = false;  // what the current drag's entry found

    // While attached: the control we watch, the widget whose drops we take, and what that
    // widget's acceptDrops was before.
    QPointer<QWidget> m_hookedControl;
    QPointer<QWidget> m_acceptingWidget;
    bool m_savedAcceptDrops = false;
};

}  // namespace tk
