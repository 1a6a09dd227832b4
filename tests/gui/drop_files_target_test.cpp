#include <QDropEvent>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QMimeData>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <memory>
#include <stdexcept>
#include <vector>

#include "ui/application.h"
#include "ui/drop_files_target.h"

using namespace tk;

namespace {

struct DropResult {
    bool enterAccepted = false;
    bool moveAccepted = false;
    bool dropAccepted = false;
    Qt::DropAction dropAction = Qt::IgnoreAction;
};

std::unique_ptr<QMimeData> Urls(const QStringList& urls) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> list;
    for (const QString& u : urls) list << QUrl(u);
    data->setUrls(list);
    return data;
}

// One drag as the window system delivers it to the widget under the pointer: enter, move,
// drop, each acknowledged or not.
DropResult Drag(QWidget* receiver, const QMimeData& data, QPoint pos,
                Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction,
                Qt::KeyboardModifiers keys = Qt::NoModifier) {
    DropResult r;
    QDragEnterEvent enter(pos, actions, &data, Qt::LeftButton, keys);
    enter.ignore();
    QCoreApplication::sendEvent(receiver, &enter);
    r.enterAccepted = enter.isAccepted();
    QDragMoveEvent move(pos, actions, &data, Qt::LeftButton, keys);
    move.ignore();
    QCoreApplication::sendEvent(receiver, &move);
    r.moveAccepted = move.isAccepted();
    QDropEvent drop(QPointF(pos), actions, &data, Qt::LeftButton, keys);
    drop.ignore();
    QCoreApplication::sendEvent(receiver, &drop);
    r.dropAccepted = drop.isAccepted();
    r.dropAction = drop.dropAction();
    return r;
}

}  // namespace

class DropFilesTargetTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_window;
    QTreeView* m_tree = nullptr;
    QTreeView* m_other = nullptr;
    QStandardItemModel* m_model = nullptr;
    TDropFilesTarget* m_target = nullptr;
    std::vector<TDropFilesInfo> m_drops;

    // The window owns the component, as the main window owns its drop target.
    void Record() {
        m_target->SetOnDropFiles([this](TDropFilesTarget* sender, const TDropFilesInfo& info) {
            QCOMPARE(sender, m_target);
            m_drops.emplace_back().Assign(info);
        });
    }

private slots:
    void init() {
        m_window = std::make_unique<QWidget>();
        m_window->resize(400, 300);
        m_model = new QStandardItemModel(m_window.get());
        m_model->appendRow(new QStandardItem(QStringLiteral("全部")));
        m_tree = new QTreeView(m_window.get());
        m_tree->setModel(m_model);
        m_tree->setGeometry(10, 10, 180, 280);
        m_other = new QTreeView(m_window.get());
        m_other->setGeometry(200, 10, 180, 280);
        m_target = new TDropFilesTarget(m_window.get());
        m_drops.clear();
        Record();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup() { m_window.reset(); }

    void oneEventPerDropWithPathsPointAndTime() {
        QVERIFY(!m_tree->viewport()->acceptDrops());
        m_target->SetTargetControl(m_tree);
        QVERIFY(m_tree->viewport()->acceptDrops());

        auto data = Urls({QStringLiteral("file:///tmp/%E6%8A%A5%E5%91%8A%201.txt"),
                          QStringLiteral("https://example.com/page"),
                          QStringLiteral("file:///home/u/Data/"),
                          QStringLiteral("file://server/share/a.txt"),
                          QStringLiteral("file:///tmp/b.txt")});
        const QDateTime before = QDateTime::currentDateTime();
        const DropResult r = Drag(m_tree->viewport(), *data, QPoint(30, 40));
        const QDateTime after = QDateTime::currentDateTime();

        QVERIFY(r.enterAccepted);
        QVERIFY(r.moveAccepted);
        QVERIFY(r.dropAccepted);
        // Copy, never move: a move taken here would have the source remove the files.
        QCOMPARE(r.dropAction, Qt::CopyAction);
        QCOMPARE(m_drops.size(), size_t(1));
        const TDropFilesInfo& info = m_drops[0];
        QCOMPARE(info.DropControl.data(), m_tree);
        QCOMPARE(info.Files, QStringList({QStringLiteral("/tmp/报告 1.txt"), QStringLiteral("/home/u/Data"),
                                          QStringLiteral("//server/share/a.txt"), QStringLiteral("/tmp/b.txt")}));
        // The header and the frame lie between the tree's corner and the viewport's.
        QVERIFY(m_tree->viewport()->pos() != QPoint(0, 0));
        QCOMPARE(info.DropPoint, m_tree->viewport()->pos() + QPoint(30, 40));
        QCOMPARE(info.DropTime.timeSpec(), Qt::LocalTime);
        QVERIFY(before <= info.DropTime && info.DropTime <= after);

        // A second drop is a second event.
        auto single = Urls({QStringLiteral("file:///tmp/c.txt")});
        QVERIFY(Drag(m_tree->viewport(), *single, QPoint(5, 5)).dropAccepted);
        QCOMPARE(m_drops.size(), size_t(2));
        QCOMPARE(m_drops[1].Files, QStringList({QStringLiteral("/tmp/c.txt")}));
    }

    void dropIsTakenAsCopyWhenTheSourceOffersIt() {
        // Acknowledged also with no handler to tell.
        m_target->SetOnDropFiles({});
        m_target->SetTargetControl(m_tree);
        auto data = Urls({QStringLiteral("file:///tmp/a.txt")});
        // Shift held: the source proposes a move.
        DropResult r = Drag(m_tree->viewport(), *data, QPoint(1, 1), Qt::CopyAction | Qt::MoveAction,
                            Qt::ShiftModifier);
        QVERIFY(r.dropAccepted);
        QCOMPARE(r.dropAction, Qt::CopyAction);
        r = Drag(m_tree->viewport(), *data, QPoint(1, 1), Qt::MoveAction);
        QVERIFY(r.dropAccepted);
        QCOMPARE(r.dropAction, Qt::MoveAction);
    }

    void dragsWithoutLocalFilesAreLeftToTheControl() {
        m_target->SetTargetControl(m_tree);
        auto web = Urls({QStringLiteral("https://example.com/")});
        QMimeData text;
        text.setText(QStringLiteral("/tmp/a.txt"));
        for (const QMimeData* data : std::initializer_list<const QMimeData*>{web.get(), &text}) {
            const DropResult r = Drag(m_tree->viewport(), *data, QPoint(1, 1));
            QVERIFY(!r.enterAccepted);
            QVERIFY(!r.dropAccepted);
        }
        QVERIFY(m_drops.empty());
    }

    void controlKeepsItsOwnDragAndDrop() {
        // A tree that takes its model's items by drag and drop still does while attached,
        // and has exactly its own setting back after detaching.
        m_tree->setDragDropMode(QAbstractItemView::DragDrop);
        const bool own = m_tree->viewport()->acceptDrops();
        m_target->SetTargetControl(m_tree);
        std::unique_ptr<QMimeData> items(m_model->mimeData({m_model->index(0, 0)}));
        QVERIFY(Drag(m_tree->viewport(), *items, QPoint(5, 5)).enterAccepted);
        QVERIFY(m_drops.empty());
        auto files = Urls({QStringLiteral("file:///tmp/a.txt")});
        QVERIFY(Drag(m_tree->viewport(), *files, QPoint(5, 5)).dropAccepted);
        QCOMPARE(m_drops.size(), size_t(1));
        m_target->SetTargetControl(nullptr);
        QCOMPARE(m_tree->viewport()->acceptDrops(), own);
        QVERIFY(Drag(m_tree->viewport(), *items, QPoint(5, 5)).enterAccepted);
    }

    void disabledAcceptsNothingAndRestoresTheControl() {
        m_target->SetTargetControl(m_tree);
        auto data = Urls({QStringLiteral("file:///tmp/a.txt")});
        m_target->SetEnabled(false);
        QVERIFY(!m_tree->viewport()->acceptDrops());
        const DropResult off = Drag(m_tree->viewport(), *data, QPoint(1, 1));
        QVERIFY(!off.enterAccepted);
        QVERIFY(!off.dropAccepted);
        QVERIFY(m_drops.empty());
        QCOMPARE(m_target->TargetControl(), m_tree);

        m_target->SetEnabled(true);
        QVERIFY(m_tree->viewport()->acceptDrops());
        QVERIFY(Drag(m_tree->viewport(), *data, QPoint(1, 1)).dropAccepted);
        QCOMPARE(m_drops.size(), size_t(1));

        // Disabled before any target: setting one attaches nothing.
        m_target->SetTargetControl(nullptr);
        m_target->SetEnabled(false);
        m_target->SetTargetControl(m_other);
        QVERIFY(!m_other->viewport()->acceptDrops());
        QVERIFY(!Drag(m_other->viewport(), *data, QPoint(1, 1)).dropAccepted);
    }

    void switchingTargetDetachesTheOldOne() {
        m_target->SetTargetControl(m_tree);
        m_target->SetTargetControl(m_other);
        QVERIFY(!m_tree->viewport()->acceptDrops());
        QVERIFY(m_other->viewport()->acceptDrops());
        auto data = Urls({QStringLiteral("file:///tmp/a.txt")});
        QVERIFY(!Drag(m_tree->viewport(), *data, QPoint(1, 1)).dropAccepted);
        QVERIFY(m_drops.empty());
        QVERIFY(Drag(m_other->viewport(), *data, QPoint(1, 1)).dropAccepted);
        QCOMPARE(m_drops.size(), size_t(1));
        QCOMPARE(m_drops[0].DropControl.data(), m_other);

        // A plain widget takes drops itself; its acceptDrops was already on and stays on.
        auto* plain = new QWidget(m_window.get());
        plain->setGeometry(0, 0, 50, 50);
        plain->setAcceptDrops(true);
        m_target->SetTargetControl(plain);
        QVERIFY(!m_other->viewport()->acceptDrops());
        QVERIFY(Drag(plain, *data, QPoint(7, 8)).dropAccepted);
        QCOMPARE(m_drops.back().DropPoint, QPoint(7, 8));
        m_target->SetTargetControl(nullptr);
        QVERIFY(plain->acceptDrops());
        QCOMPARE(m_drops.size(), size_t(2));
    }

    void destroyedTargetIsForgotten() {
        m_target->SetTargetControl(m_tree);
        delete m_tree;
        m_tree = nullptr;
        QCOMPARE(m_target->TargetControl(), nullptr);
        // Attaching elsewhere and the owner's teardown run without touching the dead tree.
        m_target->SetTargetControl(m_other);
        QVERIFY(m_other->viewport()->acceptDrops());
        m_target->SetEnabled(false);
        m_target->SetEnabled(true);

        // The component going first hands the control back.
        delete m_target;
        m_target = nullptr;
        QVERIFY(!m_other->viewport()->acceptDrops());
        auto data = Urls({QStringLiteral("file:///tmp/a.txt")});
        QVERIFY(!Drag(m_other->viewport(), *data, QPoint(1, 1)).dropAccepted);
    }

    void failingHandlerStillAcknowledgesAndErrorGoesToTheApplication() {
        m_target->SetTargetControl(m_tree);
        auto data = Urls({QStringLiteral("file:///tmp/a.txt")});
        QLoggingCategory::setFilterRules(QStringLiteral("tarvokelmora.app.info=true"));
        m_target->SetOnDropFiles([](TDropFilesTarget*, const TDropFilesInfo&) {
            throw std::runtime_error("boom");
        });
        QTest::ignoreMessage(QtInfoMsg, "discarded: boom");
        QVERIFY(Drag(m_tree->viewport(), *data, QPoint(1, 1)).dropAccepted);
        m_target->SetOnDropFiles([](TDropFilesTarget*, const TDropFilesInfo&) { throw 42; });
        QTest::ignoreMessage(QtInfoMsg, "discarded: unknown error");
        QVERIFY(Drag(m_tree->viewport(), *data, QPoint(1, 1)).dropAccepted);
        QLoggingCategory::setFilterRules(QString());

        // Still attached: the next drop is delivered.
        Record();
        QVERIFY(Drag(m_tree->viewport(), *data, QPoint(1, 1)).dropAccepted);
        QCOMPARE(m_drops.size(), size_t(1));
    }

    void handlerMayMoveTheTargetOrDeleteTheComponent() {
        m_target->SetTargetControl(m_tree);
        auto data = Urls({QStringLiteral("file:///tmp/a.txt")});
        m_target->SetOnDropFiles([this](TDropFilesTarget* sender, const TDropFilesInfo& info) {
            m_drops.emplace_back().Assign(info);
            sender->SetTargetControl(m_other);
        });
        QVERIFY(Drag(m_tree->viewport(), *data, QPoint(1, 1)).dropAccepted);
        QVERIFY(!m_tree->viewport()->acceptDrops());
        QCOMPARE(m_drops.at(0).DropControl.data(), m_tree);

        m_target->SetOnDropFiles([this](TDropFilesTarget* sender, const TDropFilesInfo&) {
            delete sender;
            m_target = nullptr;
        });
        QVERIFY(Drag(m_other->viewport(), *data, QPoint(1, 1)).dropAccepted);
        QCOMPARE(m_target, nullptr);
        QVERIFY(!m_other->viewport()->acceptDrops());
    }

    void replacedViewportKeepsAccepting() {
        m_target->SetTargetControl(m_tree);
        auto data = Urls({QStringLiteral("file:///tmp/a.txt")});
        auto* viewport = new QWidget;
        m_tree->setViewport(viewport);
        QTRY_VERIFY(viewport->acceptDrops());
        QVERIFY(Drag(viewport, *data, QPoint(3, 4)).dropAccepted);
        QCOMPARE(m_drops.size(), size_t(1));
        QCOMPARE(m_drops[0].DropPoint, viewport->pos() + QPoint(3, 4));
        m_target->SetTargetControl(nullptr);
        QVERIFY(!viewport->acceptDrops());
    }
};

int main(int argc, char** argv) {
    // The program's application object: errors that escape handlers end up there.
    TApplication app(argc, argv);
    DropFilesTargetTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "drop_files_target_test.moc"
