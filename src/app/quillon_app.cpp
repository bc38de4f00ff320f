#include "app/quillon_app.h"

#include "app/app_profile.h"
#include "app/app_resources.h"
#include "app/doc_template.h"
#include "app/main_frame.h"
#include "bridge/quillon_doc.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/window/file_dialogs.h"

namespace {

// The framework's own messages for a file it could not read or write.
const char* const kOpenFailed = "打开文档失败。";
const char* const kSaveFailed = "保存文档失败。";

}  // namespace

CQuillonApp::CQuillonApp() {
  // The application's name comes from its title string, as the framework's does.
  m_strAppName = kAppTitle;
  MapCommand(ID_FILE_NEW, &CQuillonApp::OnFileNew);
  MapCommand(ID_FILE_OPEN, &CQuillonApp::OnFileOpen);
  MapCommand(ID_FILE_SAVE, &CQuillonApp::OnFileSave);
}

CQuillonApp::~CQuillonApp() = default;

int CQuillonApp::InitInstance() {
  // Controls need no container or 3-D switch here: Qt draws them all.
  SetRegistryKey(kRegistryKey);
  LoadStdProfileSettings(RECENT_FILE_COUNT);

  m_pDocTemplate = std::make_unique<CQuillonDocTemplate>(IDR_MAINFRAME, DocTemplateString());

  if (!ProcessShellCommand()) return 0;

  if (auto* frame = dynamic_cast<CMainFrame*>(m_pMainWnd)) {
    frame->ActivateFrame(SW_SHOWNORMAL);
  }
  return 1;
}

int CQuillonApp::ExitInstance() {
  // The main window is gone by now (or never came); the template destroys
  // what is left in the bridge's order, the document last.
  m_pDocTemplate.reset();
  return CWinApp::ExitInstance();
}

void CQuillonApp::SetRegistryKey(const std::string& key) { m_strRegistryKey = key; }

void CQuillonApp::LoadStdProfileSettings(int nMaxMru) {
  m_pProfile = std::make_unique<CAppProfile>(m_strRegistryKey, kAppTitle, nMaxMru);
  m_pProfile->Load();
}

int CQuillonApp::ProcessShellCommand() {
  // The framework's parsing: the first argument that is not a flag names a
  // file to open. Qt has taken its own options out already.
  std::string file;
  for (std::size_t i = 1; i < m_argv.size(); ++i) {
    if (!m_argv[i].empty() && m_argv[i][0] != '-') {
      file = m_argv[i];
      break;
    }
  }
  if (file.empty()) return m_pDocTemplate->OpenDocumentFile(nullptr, false) != nullptr;
  return OpenDocumentFile(file) != nullptr;
}

void CQuillonApp::OnFileNew() {
  if (m_pDocTemplate) m_pDocTemplate->OpenDocumentFile(nullptr, true);
}

void CQuillonApp::OnFileOpen() {
  std::string path;
  if (!PromptFileName(m_pMainWnd, true, std::string(), path)) return;
  OpenDocumentFile(path);
}

CQuillonDoc* CQuillonApp::OpenDocumentFile(const std::string& path) {
  if (!m_pDocTemplate) return nullptr;
  const bool bStarting = m_pMainWnd == nullptr;
  CQuillonDoc* doc = m_pDocTemplate->OpenDocumentFile(&path, !bStarting);
  if (doc == nullptr) {
    AfxMessageBox(kOpenFailed);
    return nullptr;
  }
  if (m_pProfile) m_pProfile->AddToRecentFileList(path);
  return doc;
}

void CQuillonApp::OnFileSave() {
  CQuillonDoc* doc = m_pDocTemplate ? m_pDocTemplate->GetDocument() : nullptr;
  if (doc == nullptr) return;
  // Always through the dialog, which asks before it replaces a file: the
  // document holds nothing, so saving over the file it was opened from
  // without asking would empty that file.
  std::string path;
  if (!PromptFileName(m_pMainWnd, false, doc->GetTitle(), path)) return;
  if (!doc->OnSaveDocument(path)) {
    AfxMessageBox(kSaveFailed);
    return;
  }
  m_pDocTemplate->SetDocumentPath(path);
  m_pDocTemplate->UpdateFrameTitle();
  if (m_pProfile) m_pProfile->AddToRecentFileList(path);
}
