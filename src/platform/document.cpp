#include "platform/document.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/path_name.h"
#include "platform/regular_file.h"

CDocument::CDocument() : m_bModified(0) {}

CDocument::~CDocument() = default;

int CDocument::OnNewDocument() {
  DeleteContents();
  m_strPathName.clear();
  SetModifiedFlag(0);
  return 1;
}

int CDocument::OnOpenDocument(const std::string& path) {
  // Only a regular file: a FIFO would block the UI thread in open(), and a
  // folder or a device is no document.
  // The cause is not kept: the document interface answers 1 or 0, and its
  // callers say that the document did not open, whatever the cause.
  int fd = -1;
  if (OpenRegularFile(path, O_RDONLY, &fd).Failed()) return 0;
  close(fd);
  DeleteContents();
  SetPathName(path);
  SetModifiedFlag(0);
  return 1;
}

int CDocument::OnSaveDocument(const std::string& path) {
  // The cause is not kept, as for the open: the application says
  // "保存文档失败。" whatever it was.
  int fd = -1;
  if (OpenRegularFile(path, O_WRONLY | O_CREAT | O_TRUNC, &fd, 0666).Failed()) return 0;
  // The file is empty; only a failed close can still lose it (e.g. on NFS).
  if (close(fd) != 0) return 0;
  SetPathName(path);
  SetModifiedFlag(0);
  return 1;
}

void CDocument::DeleteContents() {}

void CDocument::SetTitle(const std::string& title) { m_strTitle = title; }

void CDocument::SetPathName(const std::string& path) {
  m_strPathName = path;
  SetTitle(PathFileName(path));
}
