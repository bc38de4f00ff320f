#include "app/doc_template.h"

#include "app/main_frame.h"
#include "app/receive_pane_look.h"
#include "bridge/quillon_doc.h"
#include "platform/path_name.h"
#include "platform/text.h"
#include "platform/window/app.h"
#include "ui/quillon_view.h"


CQuillonDocTemplate::CQuillonDocTemplate(unsigned nIdResource, const std::string& templateString)
    : m_nIdResource(nIdResource), m_strTemplate(templateString) {}

CQuillonDocTemplate::~CQuillonDocTemplate() { CloseAllDocuments(); }

std::string CQuillonDocTemplate::GetDocString(DocString index) const {
  return ::GetDocString(m_strTemplate, index);
}

CQuillonDoc* CQuillonDocTemplate::OpenDocumentFile(const std::string* pPath, bool bMakeVisible) {
  bool bCreated = false;
  if (!m_pDocument) {
    m_pDocument = std::make_unique<CQuillonDoc>();
    bCreated = true;
  } else if (pPath != nullptr && *pPath == m_pDocument->GetPathName()) {
    // Already the open document: the framework only brings it forward.
    if (m_pFrame) m_pFrame->ActivateFrame(SW_SHOW);
    return m_pDocument.get();
  }
  if (!m_pFrame && !CreateFrameAndView()) {
    if (bCreated) m_pDocument.reset();
    return nullptr;
  }

  if (pPath == nullptr) {
    SetDefaultTitle();
    if (!m_pDocument->OnNewDocument()) {
      if (bCreated) CloseAllDocuments();
      return nullptr;
    }
  } else {
    if (!m_pDocument->OnOpenDocument(*pPath)) {
      if (bCreated) CloseAllDocuments();
      return nullptr;
    }
    SetDocumentPath(*pPath);
  }

  if (CWinApp* app = AfxGetApp(); app != nullptr && app->m_pMainWnd == nullptr) {
    app->m_pMainWnd = m_pFrame.get();
  }
  InitialUpdateFrame(bMakeVisible);
  return m_pDocument.get();
}

bool CQuillonDocTemplate::CreateFrameAndView() {
  auto frame = std::make_unique<CMainFrame>();
  frame->SetDocument(m_pDocument.get());
  if (!frame->Create(GetDocString(DocString::WindowTitle))) return false;
  frame->LoadAccelTable(MainAccelerators());
  std::unique_ptr<CQuillonView> view = CreateView();
  view->SetDocument(m_pDocument.get());
  if (!view->Create(frame.get())) {
    frame->DestroyWindow();
    return false;
  }
  if (CWnd* pane = view->GetDlgItem(IDC_RECEIVE_PANE)) PrepareReceivePane(*pane);
  frame->RecalcLayout();
  m_pFrame = std::move(frame);
  m_pView = std::move(view);
  return true;
}

std::unique_ptr<CQuillonView> CQuillonDocTemplate::CreateView() { return std::make_unique<CQuillonView>(); }

void CQuillonDocTemplate::SetDefaultTitle() {
  m_pDocument->SetTitle(GetDocString(DocString::DocName));
}

void CQuillonDocTemplate::SetDocumentPath(const std::string& path) {
  if (!m_pDocument) return;
  if (m_pDocument->GetPathName() != path) m_pDocument->SetPathName(path);
  // File names are UTF-8 on this system; the captions are GBK.
  m_pDocument->SetTitle(Utf8ToGbk(PathFileName(path)));
}

void CQuillonDocTemplate::InitialUpdateFrame(bool bMakeVisible) {
  if (m_pView) m_pView->OnInitialUpdate();
  if (m_pFrame && bMakeVisible) m_pFrame->ActivateFrame(SW_SHOW);
  UpdateFrameTitle();
}

std::string CQuillonDocTemplate::GetFrameTitle() const {
  const std::string appTitle = GetDocString(DocString::WindowTitle);
  if (!m_pDocument || m_pDocument->GetTitle().empty()) return appTitle;
  return m_pDocument->GetTitle() + " - " + appTitle;
}

void CQuillonDocTemplate::UpdateFrameTitle() {
  if (m_pFrame) m_pFrame->SetWindowText(GetFrameTitle());
}

void CQuillonDocTemplate::CloseAllDocuments() {
  // The view's window and its timers first (the frame destroys its children
  // before itself), so no timer reads the document while it goes.
  if (m_pFrame) m_pFrame->DestroyWindow();
  m_pView.reset();
  m_pFrame.reset();
  // The document clears its data sink and stops the serial reader before
  // the socket, the texts and the frame buffer go.
  m_pDocument.reset();
}
