// The controller's end: the closing save, the session's end and what a failed read tells.
#include "controller/app_controller.h"

namespace tk {

namespace {
constexpr const char* kAppTitle = "TarvoKelmora";

std::string ReadFailureText(const std::string& path, const FileResult& failure) {
    std::string reason;
    switch (failure.problem) {
        case FileProblem::NotRegular: reason = "它不是普通文件"; break;
        case FileProblem::TooLarge: reason = "文件大于 256 MiB"; break;
        default: reason = "读取出错：" + failure.error; break;
    }
    return "无法完整读取历史文件“" + path + "”（" + reason +
           "）。\n本次运行记录的内容只保存在内存中，不会写入这个文件，文件保持原样。";
}

}  // namespace

void AppController::FormDestroy() {
    if (m_history.Closed()) return;
    m_history.Load();  // never save a history that was not read yet
    // What a timed sweep still out has found is saved with the rest.
    if (m_view) m_sweeps.FinishOut(kCloseSweepWait);
    m_history.Close();
}

bool AppController::CommitData() {
    if (m_view == nullptr) return true;
    // Saved as the end would save it, in case the session ends the program unasked; a refused
    // log-off hands the marks back, as if nothing had ended.
    const std::vector<int> marked = m_history.SaveMarkedAndWait();
    const bool yes = FormCloseQuery();
    if (!yes) m_history.Unmark(marked);
    return yes;
}

void AppController::SaveAndWait() {
    if (m_view == nullptr) return;
    m_history.SaveMarkedAndWait();
}

void AppController::TellReadFailure() {
    const FileResult* failure = m_history.File().ReadFailure();
    if (m_view == nullptr || failure == nullptr) return;
    m_view->Inform(kAppTitle, ReadFailureText(m_history.File().LoadPath(), *failure));
}

void AppController::AfterRemoval() {
    // The sweep's countdown starts again after a removal.
    m_timerCheckDocs->SetEnabled(false);
    m_timerCheckDocs->SetEnabled(m_settings.refresh);
}

}  // namespace tk
