// Top-level windows on Win32: modal dialogs and forms built by the dialog
// manager from in-memory templates, frames with their status bar and
// accelerators, and the backend object that makes them.
#include "platform/window/win32/win32_system.h"

#include <algorithm>
#include <map>
#include <vector>

#include "platform/window/app.h"
#include "platform/window/dialog.h"
#include "platform/window/frame.h"
#include "platform/window/win32/win32_access.h"
#include "platform/window/win32/win32_backend.h"
#include "platform/window/win32/win32_dialog_template.h"
#include "platform/window/win32/win32_modal.h"
#include "platform/window/win32/win32_peers.h"
#include "platform/window/win32/win32_text.h"
#include "platform/window/win32/win32_ui_font.h"

namespace {

constexpr wchar_t kFrameClass[] = L"QuillonFrameWnd";
// The application icon's resource identifier (the program's .rc).
constexpr int kAppIconId = 128;

INT_PTR CALLBACK TemplateDialogProc(HWND, UINT, WPARAM, LPARAM) {
  // Everything goes through the subclass procedure in front of this one;
  // the dialog manager's defaults do the rest.
  return FALSE;
}

HWND CreateFromTemplate(const CDialogTemplate& dlg, DialogUse use, HWND parent) {
  const std::vector<std::uint8_t> bytes =
      BuildDialogTemplate(dlg, use, Utf8ToWide(Win32UiFontFace()), dlg.nFontPointSize > 0 ? dlg.nFontPointSize : 9);
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), parent,
                                    TemplateDialogProc, 0);
}

// The controls the dialog manager made, in the template's order, handed to
// the control objects one by one as the layer creates them.
class TemplateChildren {
 public:
  void Collect(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      m_children.push_back(child);
    }
  }
  HWND Take(const CControlTemplate& ctl) {
    const WORD wanted = static_cast<WORD>(ctl.nId);
    if (m_next < m_children.size() && static_cast<WORD>(GetDlgCtrlID(m_children[m_next])) == wanted) {
      return m_children[m_next++];
    }
    // Out of step (a control the system could not make): by identifier.
    for (std::size_t i = m_next; i < m_children.size(); ++i) {
      if (static_cast<WORD>(GetDlgCtrlID(m_children[i])) == wanted) {
        std::swap(m_children[i], m_children[m_next]);
        return m_children[m_next++];
      }
    }
    return nullptr;
  }

 private:
  std::vector<HWND> m_children;
  std::size_t m_next = 0;
};

// Commands of a dialog's or form's controls go to its owner, in the window
// layer's codes (which are the system's).
bool RouteCommand(CWnd& owner, WPARAM wParam, LPARAM lParam) {
  const unsigned id = LOWORD(wParam);
  const unsigned code = HIWORD(wParam);
  if (id == IDOK && code == BN_CLICKED && lParam == 0) {
    // Enter with a disabled default button: nothing, rather than IDOK.
    if (auto* dialog = dynamic_cast<CDialog*>(&owner)) {
      const int defId = dialog->GetDefID();
      CWnd* defButton = defId != 0 ? dialog->GetDlgItem(defId) : nullptr;
      if (defButton != nullptr && !defButton->IsWindowEnabled()) return true;
    }
  }
  owner.OnCommand(id, code);
  return true;
}

// ------------------------------------------------------------------ dialogs

class Win32DialogPeer : public Win32Peer<CDialogPeer>, public TemplateChildren {
 public:
  Win32DialogPeer(CDialog& owner, HWND hwnd) : Win32Peer<CDialogPeer>(owner, hwnd, true) { Collect(hwnd); }
  void RunModal() override {
    if (m_hwnd) RunWin32DialogLoop(m_hwnd, &m_bEnded);
  }
  // As EndDialog does: the owner takes input again and the dialog is hidden
  // at once; the loop ends when the current handler returns.
  void EndModal(int nResult) override {
    m_bEnded = true;
    if (!m_hwnd) return;
    if (HWND owner = GetWindow(m_hwnd, GW_OWNER); owner && IsWindowVisible(m_hwnd)) EnableWindow(owner, TRUE);
    ShowWindow(m_hwnd, SW_HIDE);
  }
  bool PreTranslate(MSG& msg) override { return m_hwnd && IsDialogMessageW(m_hwnd, &msg); }

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
    switch (msg) {
      case WM_COMMAND:
        *pResult = 0;
        return RouteCommand(*m_owner, wParam, lParam);
      case WM_CLOSE:
        // The program decides: a dialog's close request is its cancel.
        *pResult = 0;
        m_owner->OnClose();
        return true;
      default:
        return false;
    }
  }

 private:
  bool m_bEnded = false;
};

// -------------------------------------------------------------------- forms

class Win32FormPeer : public Win32Peer<CWndPeer>, public TemplateChildren {
 public:
  Win32FormPeer(CFormView& owner, HWND hwnd) : Win32Peer<CWndPeer>(owner, hwnd, true) { Collect(hwnd); }

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
    if (msg != WM_COMMAND) return false;
    *pResult = 0;
    return RouteCommand(*m_owner, wParam, lParam);
  }
};

// --------------------------------------------------------------- status bar

class Win32StatusBarPeer : public Win32Peer<CStatusBarPeer> {
 public:
  Win32StatusBarPeer(CStatusBar& owner, HWND hwnd) : Win32Peer<CStatusBarPeer>(owner, hwnd, true) {}

  void SetPanes(const std::vector<std::string>& texts, const std::vector<bool>& on) override {
    m_texts = texts;
    m_on = on;
    LayoutParts();
    for (std::size_t i = 0; i < m_texts.size() && m_hwnd; ++i) {
      const std::wstring text = i < m_on.size() && m_on[i] ? GbkToWide(m_texts[i]) : std::wstring();
      SendMessageW(m_hwnd, SB_SETTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.c_str()));
    }
  }
  std::string GetText() const override { return m_texts.empty() ? std::string() : m_texts[0]; }
  void SetText(const std::string& text) override {
    if (m_texts.empty()) m_texts.push_back(std::string());
    m_texts[0] = text;
    if (m_hwnd) SendMessageW(m_hwnd, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(GbkToWide(text).c_str()));
  }

  // The message pane stretches; each indicator is as wide as its text
  // (whether it shows it or not) and keeps its place.
  void LayoutParts() {
    if (!m_hwnd || m_texts.empty()) return;
    RECT client{};
    ::GetClientRect(m_hwnd, &client);
    HDC dc = GetDC(m_hwnd);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(m_hwnd, WM_GETFONT, 0, 0)));
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    const int padding = MulDiv(12, dpi, 96);
    int right = client.right;
    if (GetWindowLongW(m_hwnd, GWL_STYLE) & SBARS_SIZEGRIP) right -= GetSystemMetrics(SM_CXVSCROLL);
    std::vector<int> edges(m_texts.size());
    edges.back() = -1;
    for (std::size_t i = m_texts.size() - 1; i >= 1; --i) {
      const std::wstring text = GbkToWide(m_texts[i]);
      SIZE size{};
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
      if (i + 1 < m_texts.size()) edges[i] = right;
      right -= size.cx + padding;
    }
    if (m_texts.size() > 1) edges[0] = std::max(0, right);
    SelectObject(dc, old);
    ReleaseDC(m_hwnd, dc);
    SendMessageW(m_hwnd, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  }

 private:
  std::vector<std::string> m_texts;
  std::vector<bool> m_on;
};

// ------------------------------------------------------------------- frames

class Win32FramePeer : public Win32Peer<CFramePeer> {
 public:
  Win32FramePeer(CFrameWnd& owner, HWND hwnd) : Win32Peer<CFramePeer>(owner, hwnd, true) {}
  ~Win32FramePeer() override {
    if (m_accel) DestroyAcceleratorTable(m_accel);
  }

  void SetView(CWndPeer* pViewPeer) override {
    auto* view = dynamic_cast<Win32PeerBase*>(pViewPeer);
    m_view = view ? view->Hwnd() : nullptr;
    Layout();
  }
  void SetStatusBar(Win32StatusBarPeer* bar) {
    m_statusBar = bar;
    Layout();
  }
  void SetClientSize(int cx, int cy) override {
    if (!m_hwnd) return;
    RECT r{0, 0, cx, cy + StatusBarHeight()};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_EXSTYLE)));
    SetWindowPos(m_hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
  }
  CSize GetClientSize() const override {
    if (!m_hwnd) return CSize{};
    RECT r{};
    ::GetClientRect(m_hwnd, &r);
    return CSize{r.right, r.bottom - StatusBarHeight()};
  }
  void RecalcLayout() override { Layout(); }
  void SetAccelerators(const std::vector<CAccelerator>& accelerators) override {
    if (m_accel) DestroyAcceleratorTable(m_accel);
    m_accel = nullptr;
    std::vector<ACCEL> table;
    for (const CAccelerator& a : accelerators) table.push_back(ACCEL{static_cast<BYTE>(a.fVirt), a.key, static_cast<WORD>(a.cmd)});
    if (!table.empty()) m_accel = CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));
  }
  void Show(int nCmdShow) override {
    if (!m_hwnd) return;
    if (nCmdShow == SW_HIDE || nCmdShow == SW_SHOWMINIMIZED) {
      ShowWindow(m_hwnd, nCmdShow);
      return;
    }
    ShowWindow(m_hwnd, SW_SHOWNORMAL);
    UpdateWindow(m_hwnd);
    SetForegroundWindow(m_hwnd);
  }
  bool PreTranslate(MSG& msg) override {
    if (!m_hwnd) return false;
    if (m_accel && TranslateAcceleratorW(m_hwnd, m_accel, &msg)) return true;
    // Tab, arrows and Enter inside the form, as in a dialog.
    return m_view && IsWindow(m_view) && IsDialogMessageW(m_view, &msg);
  }

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
    switch (msg) {
      case WM_SIZE:
        Layout();
        return false;
      case WM_CLOSE:
        // The program decides: its OnClose destroys the window (or does not).
        *pResult = 0;
        m_owner->OnClose();
        return true;
      case WM_COMMAND:
        // Accelerators (code 1) arrive as the layer's commands (code 0).
        *pResult = 0;
        m_owner->OnCommand(LOWORD(wParam), HIWORD(wParam) == 1 ? BN_CLICKED : HIWORD(wParam));
        return true;
      case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
          // The focus comes back to where it was when the frame is active again.
          HWND focus = GetFocus();
          if (focus && IsChild(m_hwnd, focus)) m_focus = focus;
          return false;
        }
        if (m_focus && IsWindow(m_focus) && IsChild(m_hwnd, m_focus)) {
          ::SetFocus(m_focus);
          *pResult = 0;
          return true;
        }
        return false;
      case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(m_hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        *pResult = 0;
        return true;
      }
      default:
        return false;
    }
  }

 private:
  int StatusBarHeight() const {
    HWND bar = m_statusBar ? m_statusBar->Hwnd() : nullptr;
    // Its own visibility: the frame may not be shown yet.
    if (!bar || !(GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE)) return 0;
    RECT r{};
    ::GetWindowRect(bar, &r);
    return r.bottom - r.top;
  }
  void Layout() {
    if (!m_hwnd) return;
    if (HWND bar = m_statusBar ? m_statusBar->Hwnd() : nullptr) {
      SendMessageW(bar, WM_SIZE, 0, 0);
      m_statusBar->LayoutParts();
    }
    RECT r{};
    ::GetClientRect(m_hwnd, &r);
    if (m_view && IsWindow(m_view)) {
      SetWindowPos(m_view, nullptr, 0, 0, r.right, std::max(0L, r.bottom - StatusBarHeight()),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }

  HWND m_view = nullptr;
  HWND m_focus = nullptr;
  Win32StatusBarPeer* m_statusBar = nullptr;
  HACCEL m_accel = nullptr;
};

void RegisterFrameClass() {
  static bool registered = false;
  if (registered) return;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kAppIconId));
  if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFrameClass;
  registered = RegisterClassExW(&wc) != 0;
}

HWND OwnerWindow(CWnd* pOwnerWnd) {
  HWND owner = pOwnerWnd ? WindowOf(*pOwnerWnd) : nullptr;
  if (!owner) {
    if (CWnd* main = AfxGetMainWnd()) owner = WindowOf(*main);
  }
  if (!owner) owner = GetActiveWindow();
  return owner ? GetAncestor(owner, GA_ROOT) : nullptr;
}

// ------------------------------------------------------------------ backend

class CWin32WindowBackend : public CWindowBackend {
 public:
  int LogicalDpi() const override { return SystemDpi(); }

  CSize MapDialogSize(int cx, int cy) const override {
    const CSize base = DialogBaseUnits(SystemDpi());
    return CSize{MulDiv(cx, base.cx, 4), MulDiv(cy, base.cy, 8)};
  }

  std::unique_ptr<CDialogPeer> CreateDialogWindow(CDialog& owner, const CDialogTemplate& dlg,
                                                  CWnd* pOwnerWnd) override {
    HWND hwnd = CreateFromTemplate(dlg, DialogUse::Modal, OwnerWindow(pOwnerWnd));
    if (!hwnd) return nullptr;
    return std::make_unique<Win32DialogPeer>(owner, hwnd);
  }

  std::unique_ptr<CWndPeer> CreateFormWindow(CFormView& owner, const CDialogTemplate& form, CFrameWnd& frame) override {
    HWND frameHwnd = WindowOf(frame);
    if (!frameHwnd) return nullptr;
    HWND hwnd = CreateFromTemplate(form, DialogUse::Form, frameHwnd);
    if (!hwnd) return nullptr;
    ShowWindow(hwnd, SW_SHOWNA);
    return std::make_unique<Win32FormPeer>(owner, hwnd);
  }

  std::unique_ptr<CFramePeer> CreateFrameWindow(CFrameWnd& owner, const CCreateStruct& cs, CWnd* pParentWnd) override {
    RegisterFrameClass();
    // As large as the screen allows until a view sizes it.
    RECT work{0, 0, 1024, 768};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    HWND parent = pParentWnd ? WindowOf(*pParentWnd) : nullptr;
    HWND hwnd = CreateWindowExW(cs.dwExStyle, kFrameClass, GbkToWide(cs.strName).c_str(), cs.style & ~WS_VISIBLE,
                                CW_USEDEFAULT, CW_USEDEFAULT, work.right - work.left, work.bottom - work.top, parent,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) return nullptr;
    return std::make_unique<Win32FramePeer>(owner, hwnd);
  }

  std::unique_ptr<CStatusBarPeer> CreateStatusBar(CStatusBar& owner, CFrameWnd& frame) override {
    auto* framePeer = dynamic_cast<Win32FramePeer*>(frame.GetPeer());
    if (!framePeer || !framePeer->Hwnd()) return nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE;
    if (frame.GetStyle() & WS_THICKFRAME) style |= SBARS_SIZEGRIP;
    HWND hwnd = CreateWindowExW(0, STATUSCLASSNAMEW, L"", style, 0, 0, 0, 0, framePeer->Hwnd(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(0xE801)), GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) return nullptr;
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont(SystemDpi())), FALSE);
    auto peer = std::make_unique<Win32StatusBarPeer>(owner, hwnd);
    framePeer->SetStatusBar(peer.get());
    return peer;
  }

  std::unique_ptr<CWndPeer> CreateControl(CWnd& parent, CWnd& control, const CControlTemplate& ctl) override {
    auto* children = dynamic_cast<TemplateChildren*>(parent.GetPeer());
    if (!children) return nullptr;
    return CreateWin32Control(control, ctl, children->Take(ctl));
  }

  int RunMessageLoop() override {
    ++m_loopDepth;
    MSG msg{};
    int code = 0;
    for (;;) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == 0) {
        code = static_cast<int>(msg.wParam);
        break;
      }
      if (got < 0) break;
      if (PreTranslateWin32Message(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    --m_loopDepth;
    return code;
  }

  // As with a loop that is not running, a quit outside one asks nothing.
  void QuitMessageLoop(int nExitCode) override {
    if (m_loopDepth > 0) PostQuitMessage(nExitCode);
  }

 private:
  int m_loopDepth = 0;
};

}  // namespace

bool PreTranslateWin32Message(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !msg.hwnd) return false;
  Win32PeerBase* top = Win32PeerBase::FromHwnd(GetAncestor(msg.hwnd, GA_ROOT));
  return top != nullptr && top->PreTranslate(msg);
}

HWND WindowOf(const CWnd& wnd) {
  auto* peer = dynamic_cast<Win32PeerBase*>(wnd.GetPeer());
  return peer ? peer->Hwnd() : nullptr;
}

CWindowBackend& Win32WindowBackend() {
  static CWin32WindowBackend backend;
  return backend;
}
