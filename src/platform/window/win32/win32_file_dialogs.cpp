// The system's open and save dialogs, through the backend's modal service.
#include "platform/window/win32/win32_system.h"

#include <vector>

#include "platform/window/app.h"
#include "platform/window/file_dialogs.h"
#include "platform/window/win32/win32_access.h"
#include "platform/window/win32/win32_modal.h"
#include "platform/window/win32/win32_text.h"

bool PromptFileName(CWnd* pOwner, bool bOpen, const std::string& gbkSuggestedName, std::string& path) {
  HWND owner = pOwner != nullptr ? WindowOf(*pOwner) : nullptr;
  if (owner == nullptr) {
    if (CWnd* main = AfxGetMainWnd()) owner = WindowOf(*main);
  }
  if (owner != nullptr) owner = GetAncestor(owner, GA_ROOT);

  std::vector<wchar_t> file(32768, L'\0');
  if (!bOpen) {
    const std::wstring suggested = GbkToWide(gbkSuggestedName);
    suggested.copy(file.data(), std::min(suggested.size(), file.size() - 1));
  }
  // The framework's titles: "打开" (open), "另存为" (save as); all files.
  const std::wstring title = GbkToWide(bOpen ? "打开" : "另存为");
  std::wstring filter = GbkToWide("所有文件 (*.*)");
  filter.push_back(L'\0');
  filter += L"*.*";
  filter.push_back(L'\0');

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = title.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
              (bOpen ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT);
  const long confirmed =
      RunSystemModal([&] { return static_cast<long>(bOpen ? GetOpenFileNameW(&ofn) : GetSaveFileNameW(&ofn)); });
  if (!confirmed || file[0] == L'\0') return false;
  path = WideToGbk(std::wstring(file.data()));
  return true;
}
