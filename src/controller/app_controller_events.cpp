// The controller's answers to the user's actions: tray and slide, trees, the system page, the
// settings, the start-up dialog and the web strip.
#include "controller/app_controller.h"

#include "base/text.h"
#include "controller/forms.h"
#include "search/history_search.h"
#include "webpanel/strip_protocol.h"

namespace tk {

namespace {
constexpr const char* kCloseCaption = "提示";
constexpr const char* kCloseQuestion = "要退出系统吗?";
}  // namespace

bool AppController::FormCloseQuery() {
    EnsureHistory();
    m_sweeps.Now(kCloseSweepWait);
    m_web.Navigate(m_web.Schedule().ClosePage());
    return m_view->AskYesNo(kCloseCaption, kCloseQuestion);
}

bool AppController::CloseRequested() {
    if (!m_history.Closed() && !FormCloseQuery()) return false;
    m_view->EndProgram();
    return true;
}

void AppController::Exit1Click() {
    if (m_view->AskYesNo(kCloseCaption, kCloseQuestion)) m_view->EndProgram();
}

// ---- named actions ---------------------------------------------------------------------------

void AppController::Do(forms::Action action, bool checked) {
    using forms::Action;
    switch (action) {
        case Action::OnTop: CbOnTopClick(checked); break;
        case Action::AutoRun: MnAutoRunClick(checked); break;
        case Action::Refresh: SettingsBoxClick(SettingsBox::Refresh, checked); break;
        case Action::AutoRunSet: BtnAutoRunSetClick(); break;
        case Action::DeleteAllDocs: BtnDeleteAllDocsClick(); break;
        case Action::HelpDoc: BtnHelpDocClick(); break;
        case Action::AboutUs: BtnAboutUSClick(); break;
        case Action::OpenKelmora: MnOpenKelmoraClick(); break;
        case Action::Exit: Exit1Click(); break;
        case Action::ExpandAll:
            m_expandAll = !m_expandAll;
            if (m_view) m_view->ExpandAllTrees(m_expandAll);
            break;
        case Action::DeleteSelected: MnDeleteSelectedClick(); break;
        case Action::Home: Image2Click(); break;
        case Action::AboutSite: AboutSiteClick(); break;
        case Action::None: break;
    }
}

void AppController::OpenTarget(int target) {
    if (target == forms::kTaskManager) OpenTaskManager();
    else if (target == forms::kSystemDirectory) OpenSystemDirectory();
    else if (target == forms::kMoreFolders) BtnMoreSpecDirClick();
    else if (target != forms::kNothingHere) OpenSpecialFolder(target);
}

// ---- tray and slide ------------------------------------------------------------------------

void AppController::TrayIconClick() {
    m_view->RaiseAndActivate();
    ToggleMainWindow();
}

void AppController::ToggleMainWindow() {
    m_view->Unminimize();
    const SlideController::Action action = m_slide.Toggle(m_view->WindowShown());
    if (action == SlideController::Action::None) return;
    m_view->SetTrayMenuCaption(m_slide.MenuCaption());
    if (action == SlideController::Action::StartHide) {
        m_slideLeft = m_view->WindowLeft();
        m_slideTop = m_view->WindowTop();
        m_timerHide->SetEnabled(true);
        return;
    }
    m_slideLeft = SlideController::ShowLeft(m_view->ScreenWidth());
    m_slideTop = SlideController::ShowTop(m_view->ScreenHeight(), m_view->WindowHeight());
    m_view->MoveWindow(m_slideLeft, m_slideTop);
    m_timerShow->SetEnabled(true);
    m_view->ShowWindow();
}

// The slides count their own steps: a window manager may hold a window partly on screen and
// report that place back, which must not bend the slide.
void AppController::timerShowTimer() {
    int next = 0;
    if (m_slide.ShowStep(m_slideLeft, m_view->ScreenWidth(), m_view->WindowWidth(), next)) {
        m_slideLeft = next;
        m_view->MoveWindow(next, m_slideTop);
    } else {
        m_timerShow->SetEnabled(false);
    }
}

void AppController::timerHideTimer() {
    int next = 0;
    if (m_slide.HideStep(m_slideLeft, m_view->ScreenWidth(), next)) {
        m_slideLeft = next;
        m_view->MoveWindow(next, m_slideTop);
    } else {
        m_timerHide->SetEnabled(false);
        m_view->HideWindow();
    }
}

void AppController::BringIn() {
    if (!m_view->WindowShown()) {
        ToggleMainWindow();
        return;
    }
    m_view->Unminimize();
    m_view->RaiseAndActivate();
}

// ---- the sweep and the settings ------------------------------------------------------------

void AppController::TimerFirstRunTimer() {
    m_timerFirstRun->SetEnabled(false);
    if (!m_view) return;
    EnsureHistory();
    try {
        if (m_settings.runSelectDoc) RunStartDocs();
        m_sweeps.Now(std::chrono::milliseconds{0});
        m_web.Navigate(m_web.Schedule().FirstPage());
    } catch (const std::exception& e) {
        m_deps.diagnostics.Warning("start-up work", e.what());
    }
}

void AppController::TimerCheckDocsTimer() {
    if (!m_view) return;
    EnsureHistory();
    if (m_settings.refresh) m_sweeps.Timed();
}

void AppController::ShowProblem(const std::string& text) {
    if (m_view) m_view->ShowHint(text);
}

void AppController::ReportLaunch(const LaunchResult& result) {
    if (!result.ok) ShowProblem("未能打开：" + result.problem);
}

void AppController::BtnAboutUSClick() { m_view->ShowAbout(); }
void AppController::BtnHelpDocClick() { m_view->ShowHelp(); }

void AppController::ShowStartDocDialog() {
    EnsureHistory();
    m_view->ShowStartDocDialog();
}

// ---- trees ---------------------------------------------------------------------------------

void AppController::TreeClick(int page, bool mayOpen) {
    switch (page) {
        case 0: ReportLaunch(m_picker.DocsTreeClick(mayOpen)); break;
        case 1: ReportLaunch(m_picker.TVAppClick()); break;
        case 2: ReportLaunch(m_picker.TVPathClick()); break;
        case 3: ReportLaunch(m_picker.TVDocClick()); break;
        default: break;
    }
}

void AppController::TreeDblClick(int page) {
    // 软件 opens at the first click and has no double-click of its own.
    if (forms::DoubleClickOpens(page)) ReportLaunch(m_picker.DblClick());
}

void AppController::TreeKeyDown(TreeKey key) {
    if (key == TreeKey::Enter) ReportLaunch(m_picker.LaunchCurDoc());
    else m_picker.DeleteSelectedNodes();
}

void AppController::MnDeleteSelectedClick() {
    EnsureHistory();
    CategoryTree* tree = m_history.Trees().TreeOfPage(m_settings.activePageIndex);
    if (tree == nullptr || tree->Current() == nullptr) return;
    m_history.Remove(tree->Current()->Data().Index);
    AfterRemoval();
}

void AppController::BtnDeleteAllDocsClick() {
    m_history.RemoveAll();
    AfterRemoval();
}

std::vector<SearchResult> AppController::SearchEntries(std::string_view query, std::size_t limit) {
    EnsureHistory();
    std::vector<SearchResult> results;
    const auto& docs = m_history.Records().DocHistory();
    for (int i : SearchHistory(docs, m_deps.dialect, query, limit)) {
        const TMyDoc& doc = docs[static_cast<std::size_t>(i)];
        const int type = doc.DocType;
        results.push_back({Trim(doc.Location), ShownText(doc, m_deps.dialect), KindWord(type), Trim(doc.Location),
                           type == kDocTypeProgram ? "application-x-executable"
                           : type == kDocTypeFolder ? "folder"
                                                    : "text-html"});
    }
    return results;
}

bool AppController::OpenNewestEntry(const std::function<bool(const TMyDoc&)>& wanted) {
    EnsureHistory();
    const auto& docs = m_history.Records().DocHistory();
    for (std::size_t i = docs.size(); i-- > 0;) {
        if (!wanted(docs[i])) continue;
        ReportLaunch(DocPicker::OpenRecord(m_launcher, docs[i], m_deps.dialect));
        return true;
    }
    return false;
}

bool AppController::OpenShownEntry(const std::string& text) {
    const bool opened =
        OpenNewestEntry([&](const TMyDoc& doc) { return ShownText(doc, m_deps.dialect) == text; });
    if (!opened) ShowProblem("未找到“" + text + "”。");
    return opened;
}

bool AppController::OpenFoundEntry(const std::string& id) {
    return OpenNewestEntry([&](const TMyDoc& doc) { return TrimView(doc.Location) == id; });
}

bool AppController::DropFiles(const std::vector<std::string>& names) {
    EnsureHistory();
    try {
        for (const std::string& name : names) {
            // Each dropped name becomes the current text in turn, as a pick would make it.
            m_picker.PickText(name);
            m_history.Records().AddDroppedDoc(name);
        }
    } catch (const std::exception& e) {
        m_deps.diagnostics.Warning("drop", e.what());
        return false;
    }
    m_deps.shell.MessageBeep();
    return true;
}

// ---- the system page and the web strip -------------------------------------------------------

void AppController::OpenSpecialFolder(int csidl) { ReportLaunch(m_launcher.OpenSpecialFolder(csidl, 0)); }
void AppController::OpenTaskManager() { ReportLaunch(m_launcher.OpenTaskManager()); }
void AppController::OpenSystemDirectory() { ReportLaunch(m_launcher.OpenSystemDirectory()); }
void AppController::BtnMoreSpecDirClick() { m_view->PopupSpecialFolderMenu(); }
void AppController::Image2Click() { ReportLaunch(m_launcher.OpenWebAddress(m_web.Schedule().HomePage())); }
void AppController::WebLinkClicked(const std::string& address) {
    // The page is outside input: only web addresses leave the strip, never files or programs.
    // Opened as a recorded page is: an https address keeps its scheme.
    if (IsOpenableWebAddress(address)) {
        ReportLaunch(m_launcher.OpenStoredDoc(address, kDocTypeWebPage));
    } else {
        m_deps.diagnostics.Info("web strip", "link not opened: " + address.substr(0, 200));
    }
}
void AppController::AboutSiteClick() { ReportLaunch(m_launcher.OpenWebAddress(m_web.Schedule().Site())); }

}  // namespace tk
