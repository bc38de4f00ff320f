// The document base of our window framework: what a single-document program
// needs from a document apart from its own data. A new document resets the
// contents; saving and opening go through a file path. This document stores
// nothing, so a save writes an empty file and an open restores nothing.
// UI thread only.
#pragma once

#include <string>

class CDocument {
 public:
  CDocument();
  virtual ~CDocument();
  CDocument(const CDocument&) = delete;
  CDocument& operator=(const CDocument&) = delete;

  // The new-document step: empties the contents (DeleteContents), forgets the
  // path and clears the modified flag. Derived documents run this first and
  // give up when it returns 0. Returns 1.
  virtual int OnNewDocument();

  // Opens the file at path for reading; 0 when it cannot be opened or is not
  // a regular file (a FIFO, a folder, a device), and nothing changes then.
  // Otherwise empties the contents, restores nothing, takes path as the
  // document's path and its file name as the title; returns 1.
  virtual int OnOpenDocument(const std::string& path);

  // Writes an empty file at path (created or truncated); 0 when path names
  // something other than a regular file. 1 on success; afterwards path is
  // the document's path and the document is unmodified.
  virtual int OnSaveDocument(const std::string& path);

  // Empties the document's own data; the base holds none.
  virtual void DeleteContents();

  const std::string& GetTitle() const { return m_strTitle; }
  virtual void SetTitle(const std::string& title);

  const std::string& GetPathName() const { return m_strPathName; }
  // Also sets the title to the last component of path.
  void SetPathName(const std::string& path);

  int IsModified() const { return m_bModified; }
  void SetModifiedFlag(int modified = 1) { m_bModified = modified ? 1 : 0; }

 private:
  std::string m_strTitle;
  std::string m_strPathName;
  int m_bModified;
};
