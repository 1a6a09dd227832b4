#include "ui/main_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTreeView>

#include "ui/about_help.h"
#include "ui/autorun_doc.h"
#include "ui/pages/settings_page.h"
#include "ui/pages/system_page.h"
#include "ui/pages/tree_page.h"
#include "ui/widgets.h"

// The main window as the controller sees it: MainView over the pages and the window.
namespace tk {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The about window belongs to the application, not to the main window: it is kept here.
QPointer<TFrmVersion> g_aboutWindow;

}  // namespace

void TFrmMain::ShowSettings(const Settings& settings) {
    m_settings->ShowSettings(settings);
    if (TVAllDocs->ActivePageIndex() != settings.activePageIndex) {
        TVAllDocs->SetActivePageIndex(settings.activePageIndex);
        SetDropTargetTree();
    }
}
// The outer size, frame included, once the window manager has given it a frame.
int TFrmMain::WindowWidth() const { return frameGeometry().width(); }
int TFrmMain::WindowHeight() const { return frameGeometry().height(); }
void TFrmMain::SetWindowWidth(int w) {
    m_wantedOuter.setWidth(w);
    ApplyWantedOuterSize();
}

void TFrmMain::SetWindowHeight(int h) {
    m_wantedOuter.setHeight(h);
    ApplyWantedOuterSize();
}

// The settings' size is the outer one. Before the window manager has framed the window the
// frame counts nothing; moveEvent applies it again once the frame is known.
void TFrmMain::ApplyWantedOuterSize() {
    const QSize frame = frameGeometry().size() - size();
    resize(m_wantedOuter.width() > 0 ? m_wantedOuter.width() - frame.width() : width(),
           m_wantedOuter.height() > 0 ? m_wantedOuter.height() - frame.height() : height());
}

int TFrmMain::ScreenWidth() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 1024;
}

int TFrmMain::ScreenHeight() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 768;
}

int TFrmMain::WindowLeft() const { return frameGeometry().x(); }
int TFrmMain::WindowTop() const { return frameGeometry().y(); }
void TFrmMain::MoveWindow(int left, int top) { move(left, top); }
void TFrmMain::Unminimize() { setWindowState(windowState() & ~Qt::WindowMinimized); }

void TFrmMain::RaiseAndActivate() {
    raise();
    activateWindow();
}

void TFrmMain::SetStaysOnTop(bool onTop) {
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (visible) show();  // changing the flags hides a shown window
}

void TFrmMain::SetTrayMenuCaption(const std::string& caption) { MnOpenKelmora->setText(Q(caption)); }
void TFrmMain::ExpandAllTrees(bool expand) {
    MnExpandAll->setChecked(expand);
    for (int page : forms::kExpandAllPages) {
        if (expand) m_trees[page]->Tree()->expandAll();
        else m_trees[page]->Tree()->collapseAll();
    }
}
void TFrmMain::ShowHint(const std::string& text) {
    PnlHint->setText(Q(text));
    PnlHint->setToolTip(PlainToolTip(Q(text)));
}

bool TFrmMain::AskYesNo(const std::string& caption, const std::string& text) {
    return m_boxes.AskYesNo(this, Q(caption), Q(text));
}

void TFrmMain::Inform(const std::string& caption, const std::string& text) {
    m_boxes.Inform(this, Q(caption), Q(text));
}

void TFrmMain::ShowStartDocDialog() {
    if (m_autorunDoc == nullptr) {
        m_autorunDoc = new TFrmAutorunDoc(m_controller.StartDocs(), this);
    }
    m_autorunDoc->Ask();
}

void TFrmMain::ShowAbout() {
    if (!g_aboutWindow) {
        g_aboutWindow = new TFrmVersion([this] { m_controller.Do(forms::Action::AboutSite); });
        g_aboutWindow->setAttribute(Qt::WA_QuitOnClose, false);
        connect(this, &QObject::destroyed, g_aboutWindow.data(), &QObject::deleteLater);
    }
    g_aboutWindow->show();
    g_aboutWindow->raise();
}

void TFrmMain::ShowHelp() {
    if (m_help == nullptr) m_help = new TFrmHelp(this);
    m_help->show();
    m_help->raise();
}

void TFrmMain::PopupSpecialFolderMenu() {
    const forms::Point offset = forms::MoreMenuOffset();
    m_system->PopupMoreMenu(frameGeometry().topLeft() + QPoint(offset.x, offset.y));
}

}  // namespace tk
