// The single-document template: it ties the bridge document, the main frame
// and the form view together, creates them in the framework's order and
// destroys them in the order the bridge needs (view and its timers, then the
// frame, then the document, which stops the serial reader before the socket
// goes). One document for the life of the program; a new or open command
// reuses it. UI thread only.
#pragma once

#include <memory>
#include <string>

#include "app/app_resources.h"

class CMainFrame;
class CQuillonDoc;
class CQuillonView;

class CQuillonDocTemplate {
 public:
  CQuillonDocTemplate(unsigned nIdResource, const std::string& templateString);
  // Runs CloseAllDocuments.
  virtual ~CQuillonDocTemplate();
  CQuillonDocTemplate(const CQuillonDocTemplate&) = delete;
  CQuillonDocTemplate& operator=(const CQuillonDocTemplate&) = delete;

  // The new-document path (pPath null) or the open path. The first call
  // constructs the document, then the frame with its status bar and the
  // view inside it; then the document's OnNewDocument (or OnOpenDocument),
  // then the view's initial update; the frame is shown when bMakeVisible.
  // Later calls reuse all three. Returns the document, or nullptr when a
  // step failed (a first call then leaves nothing behind; a failed open of
  // a later call leaves the document as it was).
  CQuillonDoc* OpenDocumentFile(const std::string* pPath, bool bMakeVisible = true);

  // Destroys the view's and the frame's windows, then the objects: view,
  // frame, and last the document.
  void CloseAllDocuments();

  // The caption: the document's title and the application's title joined by
  // " - " ("串口转网口助手 - Quillon").
  std::string GetFrameTitle() const;
  void UpdateFrameTitle();
  // A path the document now has (opened or saved): its file name, as GBK,
  // becomes the title.
  void SetDocumentPath(const std::string& path);

  std::string GetDocString(DocString index) const;
  unsigned GetResourceId() const { return m_nIdResource; }
  CQuillonDoc* GetDocument() const { return m_pDocument.get(); }
  CMainFrame* GetFrame() const { return m_pFrame.get(); }
  CQuillonView* GetView() const { return m_pView.get(); }

 protected:
  // The view class of the template: CQuillonView (a benchmark puts a
  // subclass that watches the timers in its place).
  virtual std::unique_ptr<CQuillonView> CreateView();

 private:
  bool CreateFrameAndView();
  void SetDefaultTitle();
  void InitialUpdateFrame(bool bMakeVisible);

  unsigned m_nIdResource;
  std::string m_strTemplate;
  // Declared so that the default destruction would also go view, frame,
  // document; CloseAllDocuments makes the order explicit.
  std::unique_ptr<CQuillonDoc> m_pDocument;
  std::unique_ptr<CMainFrame> m_pFrame;
  std::unique_ptr<CQuillonView> m_pView;
};
