// The controller's saves: timed, after a removal, and the program's last one at its end.
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

// ---- the end -------------------------------------------------------------------------------

void AppController::FormDestroy() {
    if (m_destroyed) return;
    EnsureHistory();  // never save a history that was not read yet
    // What a timed sweep still out has found is saved with the rest.
    if (m_view) m_sweeps.FinishOut(kCloseSweepWait);
    SaveNow(true);
    m_destroyed = true;
    m_timerSave->SetEnabled(false);
    // The program ends after this: whatever the writer holds reaches the disk first.
    WaitForSave();
}

bool AppController::WaitForSave() {
    if (m_deps.saveWriter == nullptr) return true;
    if (m_saveStuck) return false;
    if (m_deps.saveWriter->FlushFor(kCloseSaveWait)) return true;
    m_saveStuck = true;
    m_deps.diagnostics.Warning("saving",
                               "历史文件 10 秒内没有写完，不再等待；磁盘上仍是上次保存的完整文件。"
                               "The history was not written within 10 s (a hung disk?): not waiting "
                               "any longer; the file on disk is still the last complete save.");
    return false;
}

bool AppController::CommitData() {
    SaveAndWait();
    return FormCloseQuery();
}

void AppController::SaveAndWait() {
    if (m_view == nullptr) return;
    SaveNow(true);
    WaitForSave();
}

// ---- saving --------------------------------------------------------------------------------

void AppController::ScheduleSave() {
    if (m_destroyed || m_marking || m_view == nullptr || m_file.WriteRefused()) return;
    // Started once per burst: later changes ride along instead of pushing the save away.
    m_timerSave->SetEnabled(true);
}

void AppController::TimerSaveTimer() {
    m_timerSave->SetEnabled(false);
    if (m_view != nullptr) SaveNow(false);
}

void AppController::MarkSelectedDocs() {
    m_marking = true;
    for (TreeNode* node : m_trees.TVDocs().SelectedNodes()) {
        m_records.SetSelectedFlag(node->Data().Index, true);
    }
    m_marking = false;
}

void AppController::SaveNow(bool last) {
    if (m_destroyed) return;
    EnsureHistory();  // a history not read yet must not be written as empty
    m_timerSave->SetEnabled(false);
    try {
        if (last) MarkSelectedDocs();
        m_savedSettings = m_settings;
        if (!m_file.Save(m_settings, m_records) && !m_file.WriteRefused()) {
            m_deps.diagnostics.Warning("saving", m_file.LastError());
            if (m_view) m_view->ShowHint("历史记录未能保存：" + m_file.LastError());
        }
    } catch (const std::exception& e) {
        m_deps.diagnostics.Warning("saving", e.what());
    }
}

void AppController::SaveFinished(const FileResult& result) {
    if (m_view == nullptr || result.ok) return;
    m_view->ShowHint("历史记录未能保存到“" + m_file.LoadPath() + "”：" + result.error);
}

void AppController::TellReadFailure() {
    const FileResult* failure = m_file.ReadFailure();
    if (m_view == nullptr || failure == nullptr) return;
    m_view->Inform(kAppTitle, ReadFailureText(m_file.LoadPath(), *failure));
}

void AppController::AfterRemoval() {
    SaveNow(false);
    // The sweep's countdown starts again after a removal.
    m_timerCheckDocs->SetEnabled(false);
    m_timerCheckDocs->SetEnabled(m_settings.refresh);
}

}  // namespace tk
