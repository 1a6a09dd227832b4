#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QCheckBox>
#include <QGroupBox>
#include <QElapsedTimer>
#include <QPointer>
#include <QTextDocument>
#include <QTimer>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>

#include "controller/forms.h"
#include "controller_insides.h"
#include "fakes.h"
#include "recorded_diagnostics.h"
#include "ui/application.h"
#include "ui/about_help.h"
#include "ui/artwork.h"
#include "ui/tree_model.h"
#include "ui/widgets.h"
#include "ui/autorun_doc.h"
#include "ui/web_strip.h"
#include "ui/drop_files_target.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/timer.h"
#include "ui/web_strip_host.h"

using namespace tk;

static QStringList Strs(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* item : items) out << QString::fromUtf8(item);
    return out;
}

// A browser for the strip that loads nothing: navigations are recorded, the page is set.
// Each view the window makes reports to the one factory.
class FakeWebStrip : public WebStripFactory {
public:
    class View : public WebStripView {
    public:
        View(FakeWebStrip& owner, QWidget* parent) : m_owner(owner), m_widget(new QWidget(parent)) {}
        ~View() override {
            delete m_widget;
            if (m_owner.view == this) m_owner.view = nullptr;
            ++m_owner.ended;
        }
        QWidget* Widget() override { return m_widget; }
        void Navigate(const QUrl& address) override { m_owner.navigations << address.toString(); }
        void RequestPage(std::function<void(const QString&, const QString&, bool)> done) override {
            done(m_owner.location.toString(), m_owner.body, m_owner.loaded);
        }
        void SetNavigateComplete(std::function<void()> complete) override { onComplete = std::move(complete); }
        void SetGone(std::function<void()> gone) override { onGone = std::move(gone); }
        void SetOpenLink(std::function<void(const QString&)> open) override { onOpen = std::move(open); }
        std::function<void()> onComplete, onGone;
        std::function<void(const QString&)> onOpen;

    private:
        FakeWebStrip& m_owner;
        QPointer<QWidget> m_widget;
    };

    View* view = nullptr;
    QStringList navigations;
    QUrl location;
    QString body;
    bool loaded = true;
    int created = 0;
    int ended = 0;
    WebStripView* Create(QWidget* parent) override {
        ++created;
        view = new View(*this, parent);
        return view;
    }
    QWidget* widget() const { return view ? view->Widget() : nullptr; }
    void Complete(const QString& url, const QString& html) {
        location = QUrl(url);
        body = html;
        view->onComplete();
    }
};

// Answers every question with `answer` and records every text shown.
class RecordingBoxes : public MessageBoxes {
public:
    bool answer = true;
    QStringList shown;
    bool AskYesNo(QWidget*, const QString&, const QString& text) override {
        shown << text;
        return answer;
    }
    void Inform(QWidget*, const QString&, const QString& text) override { shown << text; }
};

template <typename T>
static T* DialogPart(QWidget* dialog, const char* name) {
    return dialog->findChild<T*>(QString::fromLatin1(name));
}

// Runs a timer's work as its expiry would.
static void Fire(Timer& timer) { emit dynamic_cast<TTimer&>(timer).OnTimer(); }

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;
    PosixPathDialect m_dialect{"/home/u"};
    test::FakeFileSystem m_files;
    test::FakeFileIcons m_icons;
    test::FakeWindowSystem m_windows;
    test::FakeShellWindows m_shell;
    test::FakeShell m_launchShell;
    test::RecordedDiagnostics m_diagnostics;
    std::unique_ptr<FakeWebStrip> m_web;
    RecordingBoxes m_boxes;
    int m_endRequests = 0;
    std::unique_ptr<QtTimerFactory> m_timers;
    std::unique_ptr<AppController> m_controller;
    std::unique_ptr<TFrmMain> m_window;

    void Destroy() {
        m_window.reset();
        m_controller.reset();
        m_timers.reset();
    }
    CategoryTreeModel* Model(int page) {
        static const char* const trees[] = {"TVDocs", "TVApp", "TVPath", "TVDoc"};
        return qobject_cast<CategoryTreeModel*>(Find<QTreeView>(trees[page])->model());
    }
    TPageControl* Tabs() { return Find<TPageControl>("TVAllDocs"); }
    TFrmAutorunDoc* AutorunDoc() { return m_window->findChild<TFrmAutorunDoc*>(); }
    // A launch as this window makes it: owned by its native window once Qt has made one.
    std::string Owned(const std::string& call) {
        const std::string unowned = "Execute(0,";
        if (call.rfind(unowned, 0) != 0) return call;
        return "Execute(" + std::to_string(m_window->internalWinId()) + "," + call.substr(unowned.size());
    }
    ControllerInsides History() { return ControllerInsides(*m_controller); }
    // A click on a tab of the strip, as the user picks a page.
    void ClickTab(int page) {
        TPageControl* tabs = Tabs();
        const QPoint at = TPageControl::TabRect(page).center();
        QWidget* strip = tabs->childAt(at);
        QVERIFY(strip != nullptr);
        QTest::mouseClick(strip, Qt::LeftButton, {}, strip->mapFrom(tabs, at));
    }

    void WriteIni(const QByteArray& contents) {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }
    QByteArray ReadIni() {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void Create(bool deferHistory = false) {
        const std::string path = m_path.toStdString();
        ControllerDeps deps{m_dialect, m_files, m_icons, m_windows, m_shell, m_launchShell, m_diagnostics, path, path};
        deps.webSite = "http://127.0.0.1:9";
        deps.deferHistoryLoad = deferHistory;
        Destroy();
        m_web = std::make_unique<FakeWebStrip>();  // after the window whose views report to it
        m_timers = std::make_unique<QtTimerFactory>();
        m_controller = std::make_unique<AppController>(deps, *m_timers);
        MainWindowDeps ui;
        ui.trayIcon = false;
        ui.webStripFactory = m_web.get();
        ui.messageBoxes = &m_boxes;
        ui.endProgram = [this] { ++m_endRequests; };
        m_window = std::make_unique<TFrmMain>(*m_controller, ui);
    }
    static TFrmVersion* AboutWindow() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* about = qobject_cast<TFrmVersion*>(w)) return about;
        }
        return nullptr;
    }
    template <typename T>
    T* Find(const char* name) {
        return m_window->findChild<T*>(QString::fromLatin1(name));
    }
    QStringList Texts(QAbstractItemModel* model, const QModelIndex& parent = {}) {
        QStringList out;
        for (int r = 0; r < model->rowCount(parent); ++r) {
            const QModelIndex i = model->index(r, 0, parent);
            const QString prefix = parent.isValid() ? QStringLiteral("  ") : QString();
            out << prefix + i.data().toString();
            out << Texts(model, i);
        }
        return out;
    }

private slots:
    void initTestCase() {
        InitArtwork();
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("defualt.ini"));
    }
    void init() {
        QFile::remove(m_path);
        m_shell.result = {};
        m_shell.calls = 0;
        m_launchShell.calls.clear();
        m_boxes.answer = true;
        m_boxes.shown.clear();
        m_endRequests = 0;
    }
    void cleanup() { Destroy(); }

    void settingsAreAppliedThroughTheWidgets_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("page");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("timerOn");
        QTest::newRow("defaults") << QByteArray() << 12 << 12000 << 0 << QSize(500, 480) << true;
        QTest::newRow("short interval") << QByteArray("[default]\nCheckDocInterval=5000\nCbRefresh=0\n")
                                        << 10 << 10000 << 0 << QSize(500, 480) << false;
        QTest::newRow("same seconds") << QByteArray("[default]\nCheckDocInterval=12500\nActivePageIndex=3\n")
                                      << 12 << 12500 << 3 << QSize(500, 480) << true;
        QTest::newRow("long, page out of range, no size")
            << QByteArray("[default]\nCheckDocInterval=200000\nActivePageIndex=6\nwidth=0\nheight=0\n")
            << 100 << 100000 << -1 << QSize(915, 568) << true;
    }
    void settingsAreAppliedThroughTheWidgets() {
        QFETCH(QByteArray, ini);
        QFETCH(int, position);
        QFETCH(int, interval);
        QFETCH(int, page);
        QFETCH(QSize, size);
        QFETCH(bool, timerOn);
        if (!ini.isEmpty()) WriteIni(ini);
        Create();
        QCOMPARE(Find<QScrollBar>("SbCheckTime")->value(), position);
        QCOMPARE(Find<QLabel>("LbCheckTime")->text(), QStringLiteral("每%1秒刷新一次").arg(position));
        QCOMPARE(int(History().TimerCheckDocs().Interval()), interval);
        QCOMPARE(History().TimerCheckDocs().Enabled(), timerOn);
        QCOMPARE(Find<QCheckBox>("CbRefresh")->isChecked(), timerOn);
        QCOMPARE(Tabs()->ActivePageIndex(), page);
        QCOMPARE(m_window->size(), size);
        QVERIFY(History().TimerFirstRun().Enabled());
    }

    void aLongHintNeverWidensTheWindow() {
        Create();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const QSize before = m_window->size();
        const std::string longHint(400, 'x');
        History().ShowProblem("很长的提示：" + longHint);
        QTest::qWait(20);
        QCOMPARE(m_window->size(), before);
        QVERIFY(m_window->minimumSizeHint().width() <= before.width());
        QVERIFY(Find<QLabel>("PnlHint")->toolTip().endsWith(QString::fromStdString(longHint)));

        // A hint in words shows whole: it wraps onto lines taken from the trees, not the window.
        std::string words;
        for (int i = 0; i < 12; ++i) words += "要记录文件夹，请让它在标题栏显示完整路径。";
        History().ShowProblem(words);
        QLabel* hint = Find<QLabel>("PnlHint");
        QTRY_VERIFY(hint->height() >= hint->heightForWidth(hint->width()) &&
                    hint->height() > 2 * hint->fontMetrics().height());
        QCOMPARE(m_window->size(), before);
    }

    void treesShowTheHistory() {
        m_files.files = {"/opt/tools/edit"};
        WriteIni("[docs]\n"
                 "path0=http://www.a.com/x.html\nname0=http://www.a.com/x.html\n"
                 "path1=file:///home/u/Data/Reports\nname1=/home/u/Data/Reports\ndoctype1=3\n"
                 "path2=/opt/tools/edit\nname2=edit\ndoctype2=2\n"
                 "path3=http://www.a.com/y.html\nname3=http://www.a.com/y.html\n");
        Create();
        for (int page = 0; page < 4; ++page) {
            QAbstractItemModelTester tester(Model(page),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        }
        QCOMPARE(Texts(Model(0)),
                 (Strs({"edit", "/home/u/Data", "  /home/u/Data/Reports", "www.a.com",
                              "  www.a.com/x.html", "  www.a.com/y.html"})));
        QCOMPARE(Texts(Model(1)), Strs({"edit"}));
        QCOMPARE(Texts(Model(3)),
                 (Strs({"www.a.com", "  www.a.com/x.html", "  www.a.com/y.html"})));
        QTreeView* tree = Find<QTreeView>("TVDocs");
        QVERIFY(tree);
        QCOMPARE(tree->toolTip(), QStringLiteral("鼠标右键有更多功能"));
        QCOMPARE(tree->selectionMode(), QAbstractItemView::ExtendedSelection);
        // Live registrations reach the view, group nodes on top.
        QSignalSpy inserted(Model(0), &QAbstractItemModel::rowsInserted);
        History().AddDoc("https://new.org/p", "t", false, false);
        QCOMPARE(inserted.count(), 2);  // the group, then its child
        QCOMPARE(Model(0)->index(0, 0).data().toString(), QStringLiteral("new.org"));
    }

    void historyAfterTheFirstFrame() {
        const QByteArray ini = "[docs]\npath0=http://a.com/x\nname0=x\npath1=C:\\logon.scr\n"
                               "name1=logon.scr\ndoctype1=2\n";
        WriteIni(ini);
        Create(true);
        QCOMPARE(Model(0)->rowCount(), 0);  // the first frame comes first
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTRY_COMPARE(Model(0)->rowCount(), 2);
        // The filters still come after the stored history.
        QCOMPARE(History().DocHistory().size(), size_t(2));
        QVERIFY(History().Records().IsFilteredDoc("/x/logon.scr"));

        // Ended before its first frame, the program still saves the whole history.
        Destroy();
        WriteIni(ini);
        Create(true);
        Destroy();
        QVERIFY(ReadIni().contains("path1=C:\\logon.scr"));
        QVERIFY(ReadIni().contains("path0=http://a.com/x"));
    }

    void picturesAreDecodedWhenFirstShown() {
        Create();
        Find<TPageControl>("TVAllDocs")->SetActivePageIndex(0);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        auto* system = Find<TShownPicture>("Image15");
        QVERIFY(system != nullptr);
        QVERIFY(!system->Loaded());
        // Buttons know their size before their picture is decoded.
        QCOMPARE(Find<QWidget>("BtnDeleteAllDocs")->sizeHint(), ArtworkSize(QStringLiteral("btn_delete_all.png")));
        QVERIFY(ArtworkSize(QStringLiteral("btn_delete_all.png")).isValid());
        Find<TPageControl>("TVAllDocs")->SetActivePageIndex(4);
        QTRY_VERIFY(system->Loaded());
        QCOMPARE(system->pixmap().deviceIndependentSize().toSize(), QSize(616, 252));
        // After the first frame the window has its icon.
        QTRY_VERIFY(!m_window->windowIcon().isNull());
    }

    void iconsDecodeOnlyTheSizeDrawn() {
        const QIcon program = ProgramIcon();
        QCOMPARE(program.availableSizes().size(), 7);
        QCOMPARE(program.pixmap(QSize(16, 16)).size(), QSize(16, 16));
        QCOMPARE(program.pixmap(QSize(20, 20)).size(), QSize(20, 20));  // scaled down from 24
        QCOMPARE(program.actualSize(QSize(999, 999)), QSize(256, 256));
        const QPixmap sharp = program.pixmap(QSize(16, 16), 2.0);
        QCOMPARE(sharp.size(), QSize(32, 32));
        QCOMPARE(sharp.devicePixelRatio(), 2.0);

        // The tree pictures come from one strip, at either density.
        Create();
        ImageListIcons icons(History().Images());
        const QImage folder = icons.Icon(0).pixmap(QSize(16, 16)).toImage();
        QCOMPARE(folder.size(), QSize(16, 16));
        QCOMPARE(icons.Icon(0).pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32));
        QVERIFY(folder != icons.Icon(1).pixmap(QSize(16, 16)).toImage());
        QVERIFY(icons.Icon(ImageList::kBuiltInCount).isNull());
    }

    void expandAllToggles() {
        WriteIni("[docs]\npath0=http://a.com/1\nname0=x\npath1=file:///tmp/x/y\nname1=y\n");
        Create();
        QAction* expandAll = Find<QAction>("MnExpandAll");
        QVERIFY(expandAll && !expandAll->isChecked());
        QTreeView* docs = Find<QTreeView>("TVDocs");
        QTreeView* path = Find<QTreeView>("TVPath");
        History().Picker().SetClickOpens(true);
        expandAll->trigger();
        QVERIFY(docs->isExpanded(Model(0)->index(0, 0)));
        QVERIFY(path->isExpanded(Model(2)->index(0, 0)));
        QVERIFY(!History().Picker().ClickOpens());  // expanding resets the click-opens state
        expandAll->trigger();
        QVERIFY(!docs->isExpanded(Model(0)->index(0, 0)));
        // A group created after a full expansion starts collapsed.
        expandAll->trigger();
        History().AddDoc("http://b.com/1", "x", false, false);
        QVERIFY(!docs->isExpanded(Model(0)->index(0, 0)));
    }

    void removals() {
        m_files.files = {"/usr/bin/a", "/usr/bin/b"};
        WriteIni("[default]\nActivePageIndex=1\n[docs]\npath0=/usr/bin/a\nname0=a\ndoctype0=2\n"
                 "path1=/usr/bin/b\nname1=b\ndoctype1=2\npath2=http://h.com/p\nname2=p\n");
        Create();
        QTreeView* app = Find<QTreeView>("TVApp");
        QAction* deleteSelected = Find<QAction>("MnDeleteSelected");
        deleteSelected->trigger();  // nothing selected: nothing happens
        QCOMPARE(History().DocHistory().size(), size_t(3));
        app->setCurrentIndex(Model(1)->index(1, 0));  // "a", the older program
        deleteSelected->trigger();
        QCOMPARE(Texts(Model(1)), Strs({"b"}));
        QCOMPARE(Texts(Model(0)).first(), QStringLiteral("h.com"));
        QVERIFY(!ReadIni().contains("/usr/bin/a"));  // written at once
        QVERIFY(ReadIni().contains("/usr/bin/b"));

        Tabs()->SetActivePageIndex(4);  // the system tab: nothing to delete
        app->setCurrentIndex(Model(1)->index(0, 0));
        deleteSelected->trigger();
        QCOMPARE(History().DocHistory().size(), size_t(2));

        Find<QAction>("MnDeleteAllDocs")->trigger();
        QCOMPARE(Model(0)->rowCount(), 0);
        QVERIFY(!ReadIni().contains("[docs]"));
        History().AddDoc("http://h.com/q", "q", false, false);
        QTest::mouseClick(Find<QWidget>("BtnDeleteAllDocs"), Qt::LeftButton);
        QVERIFY(History().DocHistory().empty());
    }

    void closeQuestion() {
        Create();
        m_window->show();
        m_shell.result.windows = {{"http://seen.org/at-close", true}};
        m_boxes.answer = false;
        QVERIFY(!m_window->close());
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_shell.calls, 1);  // the extra sweep ran all the same
        QCOMPARE(m_boxes.shown, QStringList{QStringLiteral("要退出系统吗?")});
        QVERIFY(History().DocExists("http://seen.org/at-close"));

        m_boxes.answer = true;
        QVERIFY(m_window->close());
        QCOMPARE(m_endRequests, 1);

        // The tray menu's exit asks without sweeping.
        Create();
        m_shell.calls = 0;
        m_boxes.answer = false;
        Find<QAction>("Exit1")->trigger();
        QCOMPARE(m_shell.calls, 0);
    }

    void savesAtDestruction() {
        m_files.files = {"/usr/bin/a"};
        WriteIni("[display]\npath0=keep\n[docs]\npath0=/usr/bin/a\nname0=a\ndoctype0=2\n");
        Create();
        Find<QCheckBox>("CbQueryAutoRunDoc")->setChecked(true);
        Find<QScrollBar>("SbCheckTime")->setValue(37);
        Tabs()->SetActivePageIndex(2);
        Find<QTreeView>("TVDocs")->selectionModel()->select(Model(0)->index(0, 0),
                                                        QItemSelectionModel::Select);
        Destroy();
        const QByteArray ini = ReadIni();
        QVERIFY(ini.startsWith("[display]\npath0=keep\n"));
        QVERIFY(ini.contains("QueryAutoRunDoc=1\n"));
        QVERIFY(ini.contains("ActivePageIndex=2\n"));
        QVERIFY(ini.contains("CheckDocInterval=37000\n"));
        QVERIFY(ini.contains("selected0=1\n"));
    }

    void slideFollowsTheStateTable() {
        Create();
        m_window->show();
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        QAction* open = Find<QAction>("MnOpenKelmora");
        QCOMPARE(open->text(), QStringLiteral("隐藏Kelmora(&S)"));
        m_controller->Do(tk::forms::Action::OpenKelmora);
        QCOMPARE(open->text(), QStringLiteral("打开Kelmora"));
        m_controller->Do(tk::forms::Action::OpenKelmora);  // ignored while sliding
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isVisible(), 5000);
        m_controller->Do(tk::forms::Action::OpenKelmora);
        QCOMPARE(open->text(), QStringLiteral("隐藏Kelmora"));
        QTRY_VERIFY_WITH_TIMEOUT(!History().Slide().Sliding(), 5000);
        const int w = m_window->frameGeometry().width();
        const int steps = (w + 20 + 14) / 15;
        QCOMPARE(m_window->frameGeometry().x(), screen.width() - 15 * steps);
        QCOMPARE(m_window->frameGeometry().y(), screen.height() - 50 - m_window->frameGeometry().height());
    }

    void clicksPickThenOpen() {
        m_files.files = {"/usr/bin/xterm"};
        m_files.dirs = {"/home/u/Data"};
        WriteIni("[docs]\npath0=https://s.org/p\nname0=x\npath1=file:///home/u/Data\nname1=x\n"
                 "path2=/usr/bin/xterm\nname2=xterm\ndoctype2=2\n");
        Create();
        m_window->show();
        m_launchShell.calls.clear();
        QTreeView* docs = Find<QTreeView>("TVDocs");
        auto click = [&](QTreeView* tree, int row, bool dbl = false) {
            const QModelIndex index = tree->model()->index(row, 0);
            tree->scrollTo(index);
            const QPoint at = tree->visualRect(index).center();
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
            QTest::qWait(1);  // as between real presses, the pick runs before what follows
            if (dbl) QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
            QTest::qWait(1);
        };
        // TVDocs: xterm, /home/u/Data, s.org (with child s.org/p)
        click(docs, 1);  // the first click after start only picks
        QVERIFY(m_launchShell.calls.empty());
        QCOMPARE(Find<QLabel>("PnlHint")->text(), QStringLiteral("/home/u/Data"));
        QCOMPARE(History().CurDocText(), std::string("/home/u/Data"));
        QVERIFY(History().Picker().ClickOpens());
        click(docs, 0);
        // The shown window owns what the shell raises.
        const std::string owner = std::to_string(m_window->winId());
        QVERIFY(owner != "0");
        QCOMPARE(m_launchShell.calls,
                 (std::vector<std::string>{"Execute(" + owner + ",\"open\",\"/usr/bin/xterm\",NULL,NULL,5)"}));
        m_launchShell.calls.clear();
        click(docs, 2, true);  // a click and a double-click open twice
        QCOMPARE(m_launchShell.calls.size(), size_t(2));
        QCOMPARE(m_launchShell.calls.back(), "Execute(" + owner + ",\"open\",\"https://s.org\",NULL,NULL,5)");

        // Enter opens the current text; Delete takes nodes from this tree alone.
        m_launchShell.calls.clear();
        docs->setFocus();
        QTest::keyClick(docs, Qt::Key_Return);
        QCOMPARE(m_launchShell.calls.size(), size_t(1));
        docs->selectionModel()->select(docs->model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(docs, Qt::Key_Delete);
        QCOMPARE(docs->model()->rowCount(), 2);
        QCOMPARE(Model(1)->rowCount(), 1);

        // A single click in TVApp always opens.
        Tabs()->SetActivePageIndex(1);
        m_launchShell.calls.clear();
        History().Picker().SetClickOpens(false);
        click(Find<QTreeView>("TVApp"), 0);
        QCOMPARE(m_launchShell.calls.size(), size_t(1));
        QVERIFY(!History().Picker().ClickOpens());

        // A folder that is gone shows the message, nothing is opened.
        m_launchShell.calls.clear();
        History().DocLauncher().LaunchDoc("/home/u/gone", "/home/u/gone");
        QVERIFY(m_launchShell.calls.empty());
        QCOMPARE(m_boxes.shown.last(), QStringLiteral("本机已不存在此路径:/home/u/gone"));
    }

    void systemTabButtonsAndMenu() {
        Create();
        m_launchShell.calls.clear();
        QTest::mouseClick(Find<QWidget>("SpeedButton5"), Qt::LeftButton);
        QTest::mouseClick(Find<QWidget>("SpeedButton7"), Qt::LeftButton);
        QTest::mouseClick(Find<QWidget>("BtmManageTask"), Qt::LeftButton);
        QTest::mouseClick(Find<QWidget>("SpeedButton1"), Qt::LeftButton);
        Find<QAction>("N4")->trigger();
        Find<QAction>("N18")->trigger();
        Find<QAction>("Windows1")->trigger();
        Find<QAction>("N9")->trigger();
        QCOMPARE(m_launchShell.calls,
                 (std::vector<std::string>{"OpenSpecialFolder(17,0)", "OpenSpecialFolder(0,0)",
                                           "Execute(0,\"open\",\"taskmgr\",\"\",\"\",1)",
                                           "Execute(0,\"open\",\"C:\\WINDOWS\\system32\",NULL,NULL,5)",
                                           "OpenSpecialFolder(17,0)", "OpenSpecialFolder(17,0)",
                                           "Execute(0,\"open\",\"C:\\WINDOWS\\system32\",NULL,NULL,5)",
                                           "OpenSpecialFolder(24,0)"}));
        QVERIFY(!Find<QAction>("N10")->isEnabled());
        QCOMPARE(Find<QWidget>("SpeedButton14")->toolTip(), QStringLiteral("程序"));
        QVERIFY(Find<QWidget>("SpeedButton5")->toolTip().isEmpty());
    }

    // Every page, button, menu item and settings control is its row of the forms, in order.
    void controlsAreTheFormRows() {
        using namespace forms;
        Create();
        for (int page = 0; page < kPageCount; ++page) {
            const QString caption = QString::fromUtf8(kPages[page].caption);
            QCOMPARE(Tabs()->Page(page)->objectName(), QString::fromLatin1(kPages[page].sheet));
            QCOMPARE(TPageControl::TabName(page), caption);
            if (kPages[page].tree) QCOMPARE(Find<QTreeView>(kPages[page].tree)->accessibleName(), caption);
        }
        // `text`: what the user reads on the control, or a screen reader says for its picture.
        auto check = [this](const char* name, const char* parent, QRect place, const char* text) {
            auto* control = Find<QWidget>(name);
            QVERIFY2(control && control->parentWidget()->objectName() == QLatin1String(parent), name);
            if (place.isEmpty()) place.setSize(control->size());  // a check box fits its caption
            QCOMPARE(control->geometry(), place);
            QString words = control->accessibleName();
            if (auto* box = qobject_cast<QCheckBox*>(control)) words = box->text();
            if (auto* group = qobject_cast<QGroupBox*>(control)) words = group->title();
            if (text) QCOMPARE(words, QString::fromUtf8(text));
        };
        for (const SystemButtonRow& b : kSystemButtons) {
            check(b.name, kPages[kSystemPage].sheet, {b.left, b.top, b.width, b.height}, b.label);
        }
        auto in = [](Parent p) { return p == Parent::Sheet ? kPages[kSettingsPage].sheet : kGroups[int(p) - 1].name; };
        for (const GroupRow& g : kGroups) check(g.name, in(Parent::Sheet), {g.left, g.top, g.width, g.height}, g.caption);
        for (const BoxRow& b : kBoxes) check(b.name, in(b.parent), {b.left, b.top, 0, 0}, b.caption);
        for (const PictureButtonRow& b : kSettingsButtons) {
            check(b.name, in(b.parent), {b.left, b.top, b.width, b.height}, b.label);
        }
        for (const PlacedRow* r : {&kCheckTimeLabelRow, &kCheckTimeBarRow}) {
            check(r->name, in(r->parent), {r->left, r->top, r->width, r->height}, r->label);
        }
        // The menu as the user walks it: each submenu, then its items; " -" marks a disabled one.
        QStringList shown, rows;
        for (QAction* submenu : Find<QMenu>(kMoreMenuName)->actions()) {
            shown << submenu->menu()->objectName() + submenu->text();
            for (QAction* item : submenu->menu()->actions()) {
                shown << item->objectName() + item->text() + QLatin1String(item->isEnabled() ? "" : " -");
            }
        }
        for (int i = 0; i < int(std::size(kMoreSubmenus)); ++i) {
            rows << QString::fromUtf8(kMoreSubmenus[i].name) + QString::fromUtf8(kMoreSubmenus[i].caption);
            for (const MoreItemRow& item : kMoreItems) {
                if (item.submenu != i) continue;
                rows << QString::fromUtf8(item.name) + QString::fromUtf8(item.caption) +
                            QLatin1String(ItemEnabled(item) ? "" : " -");
            }
        }
        QCOMPARE(shown, rows);
    }

    void startupReopening_data() {
        QTest::addColumn<bool>("autoRun");
        QTest::addColumn<bool>("query");
        QTest::addColumn<QString>("answer");  // what the user does in the dialog
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<QString>("marks");
        const QString web = QStringLiteral("Execute(0,\"open\",\"Explorer.exe\",\"http://a.com/x\",NULL,1)");
        const QString folder = QStringLiteral("Execute(0,\"open\",\"file:///home/u/Data\",NULL,NULL,5)");
        const QString program = QStringLiteral("Execute(0,\"open\",\"/usr/bin/xterm\",NULL,NULL,5)");
        QTest::newRow("off") << false << true << QString() << QStringList() << QStringLiteral("110");
        QTest::newRow("no question") << true << false << QString() << QStringList{web, folder}
                                     << QStringLiteral("110");
        QTest::newRow("confirm") << true << true << QStringLiteral("confirm") << QStringList{program}
                                 << QStringLiteral("001");
        QTest::newRow("cancel") << true << true << QStringLiteral("cancel") << QStringList()
                                << QStringLiteral("000");
        QTest::newRow("title-bar close") << true << true << QStringLiteral("close")
                                         << QStringList{web, folder} << QStringLiteral("110");
    }
    void startupReopening() {
        QFETCH(bool, autoRun);
        QFETCH(bool, query);
        QFETCH(QString, answer);
        QFETCH(QStringList, opened);
        QFETCH(QString, marks);
        m_files.files = {"/usr/bin/xterm"};
        WriteIni(QStringLiteral("[default]\nRunSelectDoc=%1\nQueryAutoRunDoc=%2\n[docs]\n"
                                "path0=http://a.com/x\nname0=x\nselected0=1\n"
                                "path1=file:///home/u/Data\nname1=x\nselected1=1\n"
                                "path2=/usr/bin/xterm\nname2=xterm\ndoctype2=2\n")
                     .arg(autoRun).arg(query).toUtf8());
        Create();
        m_launchShell.calls.clear();
        QElapsedTimer clock;
        clock.start();
        bool dialogShown = false;
        if (!answer.isEmpty()) {
            QTimer::singleShot(0, this, [&] {
                TFrmAutorunDoc* dialog = AutorunDoc();
                QVERIFY(dialog && dialog->isVisible());
                dialogShown = true;
                QCOMPARE(DialogPart<QListWidget>(dialog, "LbSelectDoc")->count(), 3);
                QCOMPARE(DialogPart<QListWidget>(dialog, "LbSelectDoc")->item(2)->text(), QStringLiteral("xterm"));
                QVERIFY(DialogPart<QListWidget>(dialog, "LbSelectDoc")->item(0)->isSelected());
                if (answer == QStringLiteral("confirm")) {
                    DialogPart<QListWidget>(dialog, "LbSelectDoc")->clearSelection();
                    DialogPart<QListWidget>(dialog, "LbSelectDoc")->item(2)->setSelected(true);
                    QTest::mouseClick(DialogPart<QWidget>(dialog, "BtnConfirm"), Qt::LeftButton);
                } else if (answer == QStringLiteral("cancel")) {
                    QTest::mouseClick(DialogPart<QWidget>(dialog, "SpeedButton2"), Qt::LeftButton);
                } else {
                    DialogPart<QListWidget>(dialog, "LbSelectDoc")->clearSelection();
                    dialog->reject();
                }
            });
        }
        Fire(History().TimerFirstRun());
        QCOMPARE(dialogShown, !answer.isEmpty());
        QStringList calls;
        for (const auto& c : m_launchShell.calls) calls << QString::fromStdString(c);
        for (QString& call : opened) call = QString::fromStdString(Owned(call.toStdString()));
        QCOMPARE(calls, opened);
        QString stored;
        for (const auto& doc : History().DocHistory()) stored += QString::number(doc.Selected);
        QCOMPARE(stored, marks);
        // 100 ms before each document opened
        QVERIFY(clock.elapsed() >= 100 * opened.size());
        if (!opened.isEmpty()) {
            QVERIFY(Find<QLabel>("PnlHint")->text().startsWith(QStringLiteral("正在打开")));
        }
        QVERIFY(!History().TimerFirstRun().Enabled());
    }

    void startupSkipsOpenDocumentsAndEmptyHistories() {
        WriteIni("[default]\nRunSelectDoc=1\nQueryAutoRunDoc=1\n");
        Create();
        History().RunStartDocs();  // empty history: no dialog, nothing opened
        QVERIFY(AutorunDoc() == nullptr);
        Destroy();
        WriteIni("[default]\nRunSelectDoc=1\n[docs]\npath0=http://a.com/x\nname0=x\nselected0=1\n"
                 "path1=http://a.com/y\nname1=y\nselected1=1\n");
        Create();
        m_shell.result.windows = {{"http://a.com/x", true}};
        History().DocSweep().CheckOpenDocs();
        m_launchShell.calls.clear();
        History().RunStartDocs();
        QCOMPARE(m_launchShell.calls.size(), size_t(1));
        QCOMPARE(Find<QLabel>("PnlHint")->text(), QStringLiteral("正在打开http://a.com/y"));
    }

    // The right button opens the menu over the selection it finds: it moves neither the
    // selection nor the focused node, so 删除所选 removes what was selected.
    void rightClickKeepsTheSelectionForTheMenu() {
        WriteIni("[docs]\npath0=http://a.com/x\nname0=x\npath1=http://b.com/y\nname1=y\n");
        Create();
        m_window->show();
        QTreeView* docs = Find<QTreeView>("TVDocs");
        const QModelIndex kept = docs->model()->index(0, 0);
        const QModelIndex chosen = docs->model()->index(1, 0);
        const QString keptText = kept.data().toString();
        docs->selectionModel()->setCurrentIndex(chosen, QItemSelectionModel::ClearAndSelect);
        const QPoint at = docs->visualRect(kept).center();
        QTest::mouseClick(docs->viewport(), Qt::RightButton, {}, at);
        QCOMPARE(docs->currentIndex(), chosen);
        QCOMPARE(docs->selectionModel()->selectedIndexes(), QModelIndexList{chosen});
        QVERIFY(!History().TVDocs().Top(0)->IsSelected());
        // The menu still comes, from the context-menu event that follows the press.
        QMenu* menu = Find<QMenu>("PmDocTree");
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, docs->viewport()->mapToGlobal(at));
        QApplication::sendEvent(docs->viewport(), &request);
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
        Find<QAction>("MnDeleteSelected")->trigger();
        QCOMPARE(Texts(docs->model()).filter(QRegularExpression(QStringLiteral("^\\S"))),
                 QStringList{keptText});
    }

    // A double-click beside the rows opens the last pick as one on a row does.
    void doubleClickBesideTheRowsOpensTheLastPick() {
        WriteIni("[default]\nActivePageIndex=3\n[docs]\npath0=http://a.com/x\nname0=x\n");
        Create();
        m_window->show();
        QTreeView* pages = Find<QTreeView>("TVDoc");
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const QModelIndex row = pages->model()->index(0, 0);
        QTest::mouseClick(pages->viewport(), Qt::LeftButton, {}, pages->visualRect(row).center());
        m_launchShell.calls.clear();
        const QPoint beside(pages->viewport()->width() / 2, pages->viewport()->height() - 4);
        QVERIFY(!pages->indexAt(beside).isValid());
        QTest::mouseDClick(pages->viewport(), Qt::LeftButton, {}, beside);
        QCOMPARE(m_launchShell.calls.size(), size_t(1));
        QVERIFY(m_launchShell.calls[0].find("a.com") != std::string::npos);
    }

    // The start-up dialog's double-click opens an entry exactly as stored: a page with its
    // own scheme, a folder by its raw location.
    void startDialogDoubleClickOpensAsStored() {
        m_files.dirs = {"/home/u/C# notes"};
        WriteIni("[docs]\npath0=https://s.org/p\nname0=p\npath1=file:///home/u/C# notes\nname1=n\n");
        Create();
        m_launchShell.calls.clear();
        QTimer::singleShot(0, this, [&] {
            TFrmAutorunDoc* dialog = AutorunDoc();
            auto* list = DialogPart<QListWidget>(dialog, "LbSelectDoc");
            for (int row : {0, 1}) {
                // A double-click is a press and release, then the second press.
                const QPoint at = list->visualItemRect(list->item(row)).center();
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
                // The desktop refuses the folder: the main window's hint says so.
                m_launchShell.refusal = "refused";
            }
            dialog->reject();
        });
        QTest::mouseClick(Find<QWidget>("BtnAutoRunSet"), Qt::LeftButton);
        m_launchShell.refusal.reset();
        QCOMPARE(m_launchShell.calls,
                 (std::vector<std::string>{Owned("Execute(0,\"open\",\"Explorer.exe\",\"https://s.org/p\",NULL,1)"),
                                           Owned("Execute(0,\"open\",\"file:///home/u/C# notes\",NULL,NULL,5)")}));
        QCOMPARE(Find<QLabel>("PnlHint")->text(),
                 QString::fromStdString("未能打开：refused " + m_launchShell.calls[1]));
    }

    // The close question answers in Chinese whatever the locale; No is still the Escape key.
    void questionButtonsReadChinese() {
        QtMessageBoxes boxes;
        QStringList texts;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            texts << box->button(QMessageBox::Yes)->text() << box->button(QMessageBox::No)->text();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QVERIFY(!boxes.AskYesNo(nullptr, QStringLiteral("提示"), QStringLiteral("要退出系统吗?")));
        QCOMPARE(texts, (QStringList{QStringLiteral("是(&Y)"), QStringLiteral("否(&N)")}));
    }

    // Paths and titles are written by strangers: a box, the hint's tool tip and a notice show
    // them as the text they are, never as markup (a picture, a link, a table).
    void outsideTextNeverRendersAsMarkup() {
        const QString text = QStringLiteral("/home/u/<img src=\"http://x/p\"><b>x</b> & 标题");
        QtMessageBoxes boxes;
        QList<Qt::TextFormat> formats;
        auto readBox = [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            formats << box->textFormat();
            QTest::keyClick(box, Qt::Key_Escape);
        };
        QTimer::singleShot(0, this, readBox);
        boxes.Inform(nullptr, QStringLiteral("提示"), text);
        QTimer::singleShot(0, this, readBox);
        boxes.AskYesNo(nullptr, QStringLiteral("提示"), text);
        QCOMPARE(formats, (QList<Qt::TextFormat>{Qt::PlainText, Qt::PlainText}));

        Create();
        History().ShowProblem(text.toStdString());
        QTextDocument shown;
        shown.setHtml(Find<QLabel>("PnlHint")->toolTip());
        QCOMPARE(shown.toPlainText(), text);
        QVERIFY(Qt::mightBeRichText(Find<QLabel>("PnlHint")->toolTip()));
    }

    // The strip of tab pictures reads as six named page tabs; Left and Right turn its pages,
    // as does a screen reader's press.
    void tabStripIsATabListForKeysAndScreenReaders() {
        Create();
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        TPageControl* tabs = Tabs();
        ClickTab(2);
        QWidget* strip = tabs->childAt(TPageControl::TabRect(0).center());
        QVERIFY(strip->hasFocus());
        QSignalSpy changes(tabs, &TPageControl::Change);
        QTest::keyClick(strip, Qt::Key_Right);
        QCOMPARE(tabs->ActivePageIndex(), 3);
        QTest::keyClick(strip, Qt::Key_Left);
        QTest::keyClick(strip, Qt::Key_Left);
        QCOMPARE(tabs->ActivePageIndex(), 1);
        QCOMPARE(changes.size(), 3);

        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(strip);
        QVERIFY(list != nullptr);
        QCOMPARE(list->role(), QAccessible::PageTabList);
        QCOMPARE(list->childCount(), 6);
        QStringList names;
        for (int i = 0; i < list->childCount(); ++i) {
            QAccessibleInterface* tab = list->child(i);
            QCOMPARE(tab->role(), QAccessible::PageTab);
            QCOMPARE(tab->parent(), list);
            QCOMPARE(list->indexOfChild(tab), i);
            QCOMPARE(tab->state().selected, i == 1);
            names << tab->text(QAccessible::Name);
        }
        QCOMPARE(names, (QStringList{QStringLiteral("全部"), QStringLiteral("软件"), QStringLiteral("文件夹"),
                                     QStringLiteral("网页"), QStringLiteral("系统"), QStringLiteral("设置")}));
        QCOMPARE(list->childAt(list->child(4)->rect().center().x(), list->child(4)->rect().center().y()),
                 list->child(4));
        list->child(5)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(tabs->ActivePageIndex(), 5);

        // The hidden tree headers say nothing.
        QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(Find<QTreeView>("TVDocs"));
        for (int i = 0; i < tree->childCount(); ++i) {
            if (tree->child(i)->role() == QAccessible::ColumnHeader) {
                QCOMPARE(tree->child(i)->text(QAccessible::Name), QString());
            }
        }
    }

    void startDialogQuirks() {
        WriteIni("[docs]\npath0=http://a.com/x\nname0=x\npath1=http://a.com/y\nname1=y\n");
        Create();
        QCheckBox* autoRunDocs = Find<QCheckBox>("CbAutoRunDocs");
        QCheckBox* query = Find<QCheckBox>("CbQueryAutoRunDoc");
        autoRunDocs->setChecked(true);
        QTimer::singleShot(0, this, [&] {
            TFrmAutorunDoc* dialog = AutorunDoc();
            // The not-again box follows "自动启动历史文档" and sets the question box alike.
            QVERIFY(DialogPart<QCheckBox>(dialog, "CbNotQuery")->isChecked());
            QVERIFY(query->isChecked());
            DialogPart<QCheckBox>(dialog, "CbSelectAll")->setChecked(true);
            QCOMPARE(DialogPart<QListWidget>(dialog, "LbSelectDoc")->selectedItems().size(), 2);
            // The user's first click unchecks the box, whose handling selects all again.
            const QRect row = DialogPart<QListWidget>(dialog, "LbSelectDoc")->visualItemRect(DialogPart<QListWidget>(dialog, "LbSelectDoc")->item(0));
            QTest::mouseClick(DialogPart<QListWidget>(dialog, "LbSelectDoc")->viewport(), Qt::LeftButton, {}, row.center(),
                              QApplication::doubleClickInterval() + 100);
            QVERIFY(!DialogPart<QCheckBox>(dialog, "CbSelectAll")->isChecked());
            QCOMPARE(DialogPart<QListWidget>(dialog, "LbSelectDoc")->selectedItems().size(), 2);
            // (later than a double-click would be)
            QTest::mouseClick(DialogPart<QListWidget>(dialog, "LbSelectDoc")->viewport(), Qt::LeftButton, {}, row.center(),
                              QApplication::doubleClickInterval() + 100);
            QCOMPARE(DialogPart<QListWidget>(dialog, "LbSelectDoc")->selectedItems().size(), 1);
            DialogPart<QCheckBox>(dialog, "CbNotQuery")->setChecked(false);
            QVERIFY(!query->isChecked());
            dialog->reject();
        });
        QTest::mouseClick(Find<QWidget>("BtnAutoRunSet"), Qt::LeftButton);
        QVERIFY(AutorunDoc() != nullptr);
        QVERIFY(m_launchShell.calls.empty());
        QCOMPARE(History().DocHistory()[0].Selected, 0);  // closed: no mark changed
        // Later showings: the not-again box follows "自动启动历史文档", and the question box
        // follows it, on and off.
        TFrmAutorunDoc* first = AutorunDoc();
        query->setChecked(false);
        QTimer::singleShot(0, this, [&] { AutorunDoc()->reject(); });
        QTest::mouseClick(Find<QWidget>("BtnAutoRunSet"), Qt::LeftButton);
        QVERIFY(query->isChecked());
        autoRunDocs->setChecked(false);
        QTimer::singleShot(0, this, [&] { AutorunDoc()->reject(); });
        QTest::mouseClick(Find<QWidget>("BtnAutoRunSet"), Qt::LeftButton);
        QCOMPARE(AutorunDoc(), first);  // created once, kept
        QVERIFY(!query->isChecked());
    }

    void webStrip() {
        Create();
        QVERIFY(Find<TWebStripHost>("PnlWebBrowser")->Browser() == nullptr);  // nothing before the first frame
        Fire(History().TimerFirstRun());                // asks for the first page
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTRY_VERIFY(Find<TWebStripHost>("PnlWebBrowser")->Browser() != nullptr);
        QCOMPARE(m_web->created, 1);
        QCOMPARE(m_web->navigations, QStringList{QStringLiteral("http://127.0.0.1:9/kelmora/first/")});
        QWidget* browser = m_web->widget();
        QCOMPARE(browser->y(), -2000);

        // No page yet: the check changes nothing.
        Fire(m_controller->WebStrip().TimerCheckBrowser());
        QCOMPARE(browser->y(), -2000);
        QVERIFY(!m_controller->WebStrip().TimerCheckBrowser().Enabled());

        m_web->Complete(QStringLiteral("http://127.0.0.1:9/kelmora/first/"), QStringLiteral("<body>新闻</body>"));
        QVERIFY(m_controller->WebStrip().TimerCheckBrowser().Enabled());
        const int remaining = dynamic_cast<TTimer&>(m_controller->WebStrip().TimerCheckBrowser()).RemainingMs();
        QTest::qWait(50);
        m_web->Complete(QStringLiteral("http://127.0.0.1:9/kelmora/first/"), QStringLiteral("<body>新闻</body>"));
        QVERIFY(dynamic_cast<TTimer&>(m_controller->WebStrip().TimerCheckBrowser()).RemainingMs() < remaining);  // one check for both
        QTRY_VERIFY_WITH_TIMEOUT(!m_controller->WebStrip().TimerCheckBrowser().Enabled(), 3000);
        QWidget* strip = Find<QWidget>("PnlWebBrowser");
        QCOMPARE(browser->geometry(), QRect(-4, -4, strip->width() + 8, strip->height() + 8));

        m_web->Complete(QStringLiteral("http://127.0.0.1:9/kelmora/"), QStringLiteral("<BODY>Not Found</BODY>"));
        Fire(m_controller->WebStrip().TimerCheckBrowser());
        QCOMPARE(browser->x(), -2000);

        // The close request loads the next page while it has not been shown.
        m_boxes.answer = false;
        m_window->close();
        QCOMPARE(m_web->navigations.last(), QStringLiteral("http://127.0.0.1:9/kelmora/next/"));

        m_launchShell.calls.clear();
        QTest::mouseClick(Find<QWidget>("Image2"), Qt::LeftButton);
        QCOMPARE(m_launchShell.calls,
                 (std::vector<std::string>{Owned("Execute(0,\"open\",\"Explorer.exe\",\"http://127.0.0.1:9/\",NULL,1)")}));
    }

    // The browser ends while the window is out of sight and comes back with it at the page
    // the schedule is at; a crash shows the banner and a new browser comes a little later.
    void webStripRestsAndCrashes() {
        Create();
        Fire(History().TimerFirstRun());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTRY_VERIFY(m_web->view != nullptr);
        WebStripController& web = m_controller->WebStrip();

        m_window->hide();
        QVERIFY(web.TimerRest().Enabled());
        Fire(web.TimerRest());
        QVERIFY(m_web->view == nullptr);
        QCOMPARE(m_web->ended, 1);
        QVERIFY(Find<TWebStripHost>("PnlWebBrowser")->Browser() == nullptr);
        Fire(web.TimerCheckRadom());  // the schedule goes on without a browser
        const QString current = QString::fromStdString(web.PendingPage());
        QVERIFY(current.startsWith(QStringLiteral("http://127.0.0.1:9/kelmora/")));
        m_window->show();
        QTRY_VERIFY(m_web->view != nullptr);
        QCOMPARE(m_web->created, 2);
        QCOMPARE(m_web->navigations.last(), current);
        QCOMPARE(m_web->widget()->y(), -2000);  // the banner until the page is checked

        // Minimised counts as out of sight; brought back before the rest, nothing ends.
        m_window->showMinimized();
        QTRY_VERIFY(web.TimerRest().Enabled());
        m_window->showNormal();
        QTRY_VERIFY(!web.TimerRest().Enabled());
        QTest::qWait(200);  // the platform's late word on the window's state
        QVERIFY(!web.TimerRest().Enabled());
        QCOMPARE(m_web->ended, 1);

        // A crash: the banner shows, the history and the window are untouched.
        m_web->view->onGone();
        QVERIFY(Find<TWebStripHost>("PnlWebBrowser")->Browser() == nullptr);
        QTRY_COMPARE(m_web->ended, 2);
        QVERIFY(web.TimerRestart().Enabled());
        Fire(web.TimerRestart());
        QCOMPARE(m_web->created, 3);
        QCOMPARE(m_web->navigations.last(), current);

        // Links from the page: web addresses go to the user's browser, nothing else does.
        m_launchShell.calls.clear();
        m_web->view->onOpen(QStringLiteral("file:///etc/passwd"));
        m_web->view->onOpen(QStringLiteral("https://example.test/a?b=1"));
        QCOMPARE(m_launchShell.calls,
                 (std::vector<std::string>{Owned("Execute(0,\"open\",\"Explorer.exe\",\"https://example.test/a?b=1\",NULL,1)")}));
    }

    // The banner takes a click anywhere on the strip, beyond the end of its picture too.
    void bannerCoversTheWholeStrip() {
        Create();
        m_window->resize(900, 480);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        auto* strip = Find<TWebStripHost>("PnlWebBrowser");
        QVERIFY(strip->width() > 468);
        const QPoint corner(strip->width() - 2, strip->height() - 2);
        QWidget* under = strip->childAt(corner);
        QVERIFY(under != nullptr);
        QCOMPARE(under->objectName(), QStringLiteral("Image2"));
        m_launchShell.calls.clear();
        QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(strip, corner));
        QCOMPARE(m_launchShell.calls.size(), size_t(1));
    }

    void aboutAndHelpWindows() {
        Create();
        m_launchShell.calls.clear();
        QTest::mouseClick(Find<QWidget>("BtnAboutUS"), Qt::LeftButton);
        TFrmVersion* about = AboutWindow();
        QVERIFY(about && about->isVisible());
        QCOMPARE(about->windowTitle(), QStringLiteral("关于..."));
        QTest::mouseClick(about->findChild<QWidget*>(QStringLiteral("Image1")), Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(m_launchShell.calls.empty());  // only the link area opens the site
        // The link's underline shows: blue pixels in its place on the window.
        QWidget* link = about->findChild<QWidget*>(QStringLiteral("Label1"));
        const QImage shot = about->grab(link->geometry().translated(link->parentWidget()->mapTo(about, QPoint()))).toImage();
        int blue = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (c.blue() > 200 && c.red() < 80 && c.green() < 80) ++blue;
            }
        }
        QVERIFY2(blue > 50, qPrintable(QString::number(blue)));
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(m_launchShell.calls,
                 (std::vector<std::string>{"Execute(0,\"open\",\"Explorer.exe\",\"http://127.0.0.1:9\",NULL,1)"}));
        about->move(40, 50);
        const QPoint place = about->pos();
        QTest::mouseClick(about->findChild<QWidget*>(QStringLiteral("SpeedButton1")), Qt::LeftButton);
        QVERIFY(!about->isVisible());
        QTest::mouseClick(Find<QWidget>("BtnAboutUS"), Qt::LeftButton);
        QCOMPARE(AboutWindow(), about);  // one window, shown again where it was
        QVERIFY(about->isVisible());
        QCOMPARE(about->pos(), place);

        QTest::mouseClick(Find<QWidget>("BtnHelpDoc"), Qt::LeftButton);
        TFrmHelp* help = m_window->findChild<TFrmHelp*>();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->windowTitle(), QStringLiteral("TarvoKelmora-帮助文档"));
        QTest::mouseClick(help->findChild<QWidget*>(QStringLiteral("SpeedButton1")), Qt::LeftButton);
        QVERIFY(!help->isVisible());
        QTest::mouseClick(Find<QWidget>("BtnHelpDoc"), Qt::LeftButton);
        QCOMPARE(m_window->findChild<TFrmHelp*>(), help);
        about->hide();
    }

    void dropsOnTheActiveTree() {
        WriteIni("[default]\nActivePageIndex=4\n");
        Create();
        m_window->show();
        auto drop = [&](QWidget* target, const QList<QUrl>& urls) {
            QMimeData data;
            data.setUrls(urls);
            const QPoint at(10, 10);
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &enter);
            QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &dropped);
            return dropped.isAccepted();
        };
        QTreeView* path = Find<QTreeView>("TVPath");
        // Opened on the system page: no tree takes files yet.
        QVERIFY(!drop(path->viewport(), {QUrl::fromLocalFile(QStringLiteral("/home/u/a.txt"))}));
        QVERIFY(History().DocHistory().empty());

        ClickTab(2);
        QCOMPARE(Tabs()->ActivePageIndex(), 2);
        m_launchShell.calls.clear();
        QVERIFY(drop(path->viewport(), {QUrl::fromLocalFile(QStringLiteral("/home/u/报告 1.txt")),
                                        QUrl::fromLocalFile(QStringLiteral("/tmp/x/b")),
                                        QUrl::fromLocalFile(QStringLiteral("/home/u/报告 1.txt"))}));
        const auto& docs = History().DocHistory();
        QCOMPARE(docs.size(), size_t(2));  // the same file twice is recorded once
        QCOMPARE(docs[0].Location, std::string("file:///home/u/报告 1.txt"));
        QCOMPARE(docs[0].Name, std::string("/home/u/报告 1.txt"));
        QCOMPARE(docs[1].Location, std::string("file:///tmp/x/b"));
        QCOMPARE(m_launchShell.calls, std::vector<std::string>{"MessageBeep()"});

        // A name that is not a local path is rejected, and the drop still beeps once.
        m_launchShell.calls.clear();
        QVERIFY(m_controller->DropFiles({"word"}));
        QCOMPARE(docs.size(), size_t(2));
        QCOMPARE(m_launchShell.calls, std::vector<std::string>{"MessageBeep()"});

        Find<TDropFilesTarget>("DropTarget")->SetEnabled(false);
        QVERIFY(!drop(path->viewport(), {QUrl::fromLocalFile(QStringLiteral("/tmp/c"))}));
        QCOMPARE(docs.size(), size_t(2));
    }

    void timerKeepsItsCountdown() {
        TTimer timer(10000);
        timer.SetInterval(10000);
        timer.SetEnabled(true);
        QTest::qWait(300);
        const int before = timer.RemainingMs();
        timer.SetInterval(10000);
        timer.SetEnabled(true);
        QVERIFY(timer.RemainingMs() <= before);
        timer.SetInterval(20000);
        QVERIFY(timer.RemainingMs() > 15000);
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
