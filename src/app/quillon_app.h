// CQuillonApp: the application object. Start-up in the framework's order:
// profile settings under "Local AppWizard-Generated Applications" with a
// recent-file list of four, the single-document template, the command line
// (none: a new document; a file name: the open path), then the main window
// shown. The file commands of the accelerators: Ctrl+N (new document),
// Ctrl+O (open dialog, then the open path), Ctrl+S (save dialog, an empty
// file). Shutdown destroys the view, the frame, then the document.
// UI thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/window/app.h"

class CAppProfile;
class CQuillonDoc;
class CQuillonDocTemplate;

class CQuillonApp : public CWinApp {
 public:
  CQuillonApp();
  ~CQuillonApp() override;

  int InitInstance() override;
  int ExitInstance() override;

  void OnFileNew();
  void OnFileOpen();
  void OnFileSave();

  // The open path for a file: the document restores nothing from it, the
  // title shows its name, it enters the recent-file list and the view runs
  // its initial update. A file that cannot be read shows a message and
  // changes nothing. Returns the document, or nullptr.
  CQuillonDoc* OpenDocumentFile(const std::string& path);

  CQuillonDocTemplate* GetDocTemplate() const { return m_pDocTemplate.get(); }
  CAppProfile* GetProfile() const { return m_pProfile.get(); }

 protected:
  // Where the profile settings live; then load them with a recent-file list
  // of nMaxMru entries.
  void SetRegistryKey(const std::string& key);
  void LoadStdProfileSettings(int nMaxMru);
  // Runs the command line: no file → new document; a file → open path.
  int ProcessShellCommand();

 private:
  std::string m_strRegistryKey;
  std::unique_ptr<CAppProfile> m_pProfile;
  std::unique_ptr<CQuillonDocTemplate> m_pDocTemplate;
};
