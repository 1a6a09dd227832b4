// Clicks on the 全部 tree as the user makes them, through the real window and controller.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>

#include "controller_insides.h"
#include "fakes.h"
#include "recorded_diagnostics.h"
#include "ui/application.h"
#include "ui/artwork.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/timer.h"
#include "ui/web_strip.h"

using namespace tk;

namespace {

// No browser for the strip: the banner stays.
class NoWebStrip final : public WebStripFactory {
public:
    WebStripView* Create(QWidget*) override { return nullptr; }
};

// Questions are answered no, unseen.
class QuietBoxes final : public MessageBoxes {
public:
    bool AskYesNo(QWidget*, const QString&, const QString&) override { return false; }
    void Inform(QWidget*, const QString&, const QString&) override {}
};

QModelIndex RowNamed(QTreeView* tree, const QString& text) {
    for (int row = 0; row < tree->model()->rowCount(); ++row) {
        const QModelIndex index = tree->model()->index(row, 0);
        if (index.data().toString() == text) return index;
    }
    return {};
}

}  // namespace

class TreeClicksTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    PosixPathDialect m_dialect{"/home/u"};
    test::FakeFileSystem m_files;
    test::FakeFileIcons m_icons;
    test::FakeWindowSystem m_windows;
    test::FakeShellWindows m_shell;
    test::FakeShell m_launchShell;
    test::RecordedDiagnostics m_diagnostics;
    NoWebStrip m_web;
    QuietBoxes m_boxes;

private slots:
    void initTestCase() { InitArtwork(); }

    // A press on a group's arrow only shows or hides the group: it picks the group and opens
    // nothing, even with a pick armed. Presses on rows go on picking, then opening.
    void anArrowOnlyPicksItsGroup() {
        const QString path = m_dir.filePath(QStringLiteral("defualt.ini"));
        QFile ini(path);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[docs]\npath0=https://s.org/p\nname0=x\npath1=/usr/bin/xterm\nname1=xterm\n"
                  "doctype1=2\n");
        ini.close();
        m_files.files = {"/usr/bin/xterm"};
        ControllerDeps deps{m_dialect, m_files, m_icons, m_windows, m_shell, m_launchShell, m_diagnostics,
                            path.toStdString(), path.toStdString()};
        deps.webSite = "http://127.0.0.1:9";
        QtTimerFactory timers;
        AppController controller(deps, timers);
        MainWindowDeps ui;
        ui.trayIcon = false;
        ui.webStripFactory = &m_web;
        ui.messageBoxes = &m_boxes;
        TFrmMain window(controller, ui);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ControllerInsides insides(controller);
        QTreeView* docs = window.findChild<QTreeView*>(QStringLiteral("TVDocs"));
        QVERIFY(docs != nullptr);
        const QModelIndex program = RowNamed(docs, QStringLiteral("xterm"));
        const QModelIndex group = RowNamed(docs, QStringLiteral("s.org"));
        QVERIFY(program.isValid() && group.isValid());
        QVERIFY(docs->model()->hasChildren(group) && !docs->isExpanded(group));
        const auto press = [&](const QPoint& at) {
            QTest::mouseClick(docs->viewport(), Qt::LeftButton, {}, at);
            QTest::qWait(1);  // as between real presses, a pick on a row runs before what follows
        };
        const QRect groupRow = docs->visualRect(group);
        const QPoint arrow(groupRow.left() - docs->indentation() / 2, groupRow.center().y());
        m_launchShell.calls.clear();

        press(docs->visualRect(program).center());  // picks, and arms the next click
        QVERIFY(insides.Picker().ClickOpens());
        press(arrow);
        QVERIFY(docs->isExpanded(group));
        QVERIFY(m_launchShell.calls.empty());
        QCOMPARE(docs->currentIndex(), QModelIndex(group));
        QCOMPARE(insides.CurDocText(), std::string("https://s.org"));
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("PnlHint"))->text(),
                 QStringLiteral("https://s.org"));
        QVERIFY(!insides.Picker().ClickOpens());
        press(arrow);
        QVERIFY(!docs->isExpanded(group));
        QVERIFY(m_launchShell.calls.empty());

        // Rows behave as ever: a pick, then an open.
        press(docs->visualRect(program).center());
        QVERIFY(m_launchShell.calls.empty());
        press(docs->visualRect(program).center());
        // Owned by the window, as every launch of a shown window is.
        QVERIFY(window.winId() != 0);
        QCOMPARE(m_launchShell.calls,
                 (std::vector<std::string>{"Execute(" + std::to_string(window.winId()) +
                                           ",\"open\",\"/usr/bin/xterm\",NULL,NULL,5)"}));
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    TreeClicksTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tree_clicks_test.moc"
