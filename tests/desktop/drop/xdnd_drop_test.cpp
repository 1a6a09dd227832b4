// Real X drag and drop onto a tree with the drop target attached: a separate X client acts
// as the drag source (XDND with a text/uri-list), Qt's X11 backend is the drop side, on a
// private X server with a window manager.

#include <QLoggingCategory>
#include <QProcess>
#include <QTest>
#include <QTreeView>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "ui/application.h"
#include "ui/drop_files_target.h"
#include "virtual_desktop.h"

using namespace tk;

namespace {

// What the source saw of one drag.
struct SourceRun {
    int exitCode = -1;
    WId target = 0;
    bool statusAccepted = false;
    QString statusAction;
    bool finished = false;
    bool finishedAccepted = false;
    QString finishedAction;
    int dataRequests = -1;
    QString output;
};

// Drags the URIs from another X client to the global point and drops them there.
SourceRun RunSource(QPoint global, const QStringList& uris) {
    SourceRun run;
    QProcess source;
    source.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QStringList args{QString::number(global.x()), QString::number(global.y())};
    source.start(QStringLiteral(TK_XDND_SOURCE), args + uris);
    // This process is the drop side: its event loop has to run while the source works.
    if (!QTest::qWaitFor([&] { return source.state() == QProcess::NotRunning; }, 60000)) {
        source.kill();
        source.waitForFinished();
        return run;
    }
    run.exitCode = source.exitCode();
    run.output = QString::fromUtf8(source.readAllStandardOutput());
    for (const QString& line : run.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList w = line.split(QLatin1Char(' '));
        if (w.value(0) == QLatin1String("target")) run.target = w.value(1).toULongLong(nullptr, 16);
        if (w.value(0) == QLatin1String("status")) {
            run.statusAccepted = w.value(1) == QLatin1String("1");
            run.statusAction = w.value(2);
        }
        if (w.value(0) == QLatin1String("data")) run.dataRequests = w.value(1).toInt();
        if (w.value(0) == QLatin1String("finished")) {
            run.finished = true;
            run.finishedAccepted = w.value(1) == QLatin1String("1");
            run.finishedAction = w.value(2);
        }
    }
    return run;
}

// A top-level window whose native window can be destroyed and made again.
class RecreatableWindow : public QWidget {
public:
    void Recreate() {
        destroy();
        create();
    }
};

const QStringList kFiles{QStringLiteral("file:///tmp/%E6%8A%A5%E5%91%8A%201.txt"),
                         QStringLiteral("file:///home/u/Data"), QStringLiteral("file:///tmp/b.txt")};

}  // namespace

class XdndDropTest : public QObject {
    Q_OBJECT

private:
    RecreatableWindow m_window;
    QTreeView* m_left = nullptr;
    TDropFilesTarget* m_target = nullptr;
    std::vector<TDropFilesInfo> m_drops;

    void Record() {
        m_target->SetOnDropFiles([this](TDropFilesTarget*, const TDropFilesInfo& info) {
            m_drops.emplace_back().Assign(info);
        });
    }
    static QPoint InTree(QTreeView* tree) { return tree->viewport()->geometry().center(); }
    void Show() {
        // A window mapped while openbox is still starting can be lost by it and stay
        // unmapped (the desktop counts as ready once openbox has published its check
        // window); mapping it again reaches the running window manager.
        m_window.show();
        for (int attempt = 0; attempt < 10 && !QTest::qWaitForWindowExposed(&m_window, 2000); ++attempt) {
            m_window.hide();
            m_window.show();
        }
        QVERIFY(QTest::qWaitForWindowExposed(&m_window));
    }

private slots:
    void initTestCase() {
        m_window.setWindowTitle(QStringLiteral("拖放测试"));
        m_window.setGeometry(100, 100, 300, 300);
        m_left = new QTreeView(&m_window);
        m_left->setGeometry(10, 10, 280, 280);
        m_target = new TDropFilesTarget(&m_window);
        Show();
    }
    void init() {
        m_drops.clear();
        Record();
        m_target->SetEnabled(true);
        m_target->SetTargetControl(m_left);
    }

    void dropArrivesAsOneEventWithPathsAndPoint() {
        const SourceRun run = RunSource(m_left->mapToGlobal(InTree(m_left)), kFiles);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.target, m_window.winId());
        QVERIFY2(run.statusAccepted, qPrintable(run.output));
        QCOMPARE(run.statusAction, QStringLiteral("XdndActionCopy"));
        QVERIFY(run.dataRequests >= 1);
        QVERIFY(run.finishedAccepted);
        QCOMPARE(run.finishedAction, QStringLiteral("XdndActionCopy"));

        QCOMPARE(m_drops.size(), size_t(1));
        QCOMPARE(m_drops[0].DropControl.data(), m_left);
        QCOMPARE(m_drops[0].Files, QStringList({QStringLiteral("/tmp/报告 1.txt"), QStringLiteral("/home/u/Data"),
                                                QStringLiteral("/tmp/b.txt")}));
        QCOMPARE(m_drops[0].DropPoint, InTree(m_left));
    }

    void refusedWhileDisabled() {
        m_target->SetEnabled(false);
        // Qt notes the drop no widget took ("No drag target set").
        const SourceRun run = RunSource(m_left->mapToGlobal(InTree(m_left)), kFiles);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(!run.statusAccepted);
        QVERIFY(run.finished);
        QVERIFY(!run.finishedAccepted);
        QVERIFY(m_drops.empty());
    }

    void recreatedWindowStillTakesDrops() {
        const WId before = m_window.winId();
        m_window.Recreate();
        Show();
        QVERIFY(m_window.winId() != before);
        const SourceRun run = RunSource(m_left->mapToGlobal(InTree(m_left)), kFiles);
        QCOMPARE(run.target, m_window.winId());
        QVERIFY2(run.finishedAccepted, qPrintable(run.output));
        QCOMPARE(m_drops.size(), size_t(1));
    }

    void failingHandlerStillFinishesTheDrop() {
        m_target->SetOnDropFiles([](TDropFilesTarget*, const TDropFilesInfo&) {
            throw std::runtime_error("boom");
        });
        QLoggingCategory::setFilterRules(QStringLiteral("tarvokelmora.app.info=true"));
        QTest::ignoreMessage(QtInfoMsg, "discarded: boom");
        const SourceRun run = RunSource(m_left->mapToGlobal(InTree(m_left)), kFiles);
        QLoggingCategory::setFilterRules(QString());
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.finishedAccepted);
        QCOMPARE(run.finishedAction, QStringLiteral("XdndActionCopy"));
    }
};

int main(int argc, char** argv) {
    tk::test::VirtualDesktop desktop;
    if (!desktop.Ok()) {
        std::fprintf(stderr, "virtual desktop: %s\n", desktop.Error().c_str());
        return 1;
    }
    qputenv("DISPLAY", QByteArray::fromStdString(desktop.Display()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    TApplication app(argc, argv);
    XdndDropTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "xdnd_drop_test.moc"
