// Top-level windows on Qt: modal dialogs, frames with their status bar, and
// the form views inside frames.
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QShortcut>
#include <QStatusBar>
#include <vector>

#include "platform/window/app.h"
#include "platform/window/dialog.h"
#include "platform/window/frame.h"
#include "platform/window/qt/qt_access.h"
#include "platform/window/qt/qt_backend.h"
#include "platform/window/qt/qt_modal.h"
#include "platform/window/qt/qt_peers.h"
#include "platform/window/qt/qt_text.h"

namespace {

// ------------------------------------------------------------------ dialogs

class QtDialogPeer;

// The close box and Qt's own accept/reject take the program's command path.
class QuillonDialog : public QDialog {
 public:
  QuillonDialog(CDialog& owner, QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags), m_owner(&owner) {}
  void Detach() { m_owner = nullptr; }
  void Rebind(CDialog& owner) { m_owner = &owner; }
  // Ends the modal loop without going through the program's handlers.
  void End(int nResult) {
    m_bEnding = true;
    QDialog::done(nResult);
    m_bEnding = false;
  }
  void accept() override {
    if (m_owner) m_owner->OnCommand(static_cast<unsigned>(IDOK), BN_CLICKED);
  }
  void reject() override {
    if (m_owner) m_owner->OnCommand(static_cast<unsigned>(IDCANCEL), BN_CLICKED);
  }

 protected:
  void closeEvent(QCloseEvent* event) override {
    if (m_bEnding || !m_owner) {
      event->accept();
      return;
    }
    event->ignore();
    m_owner->OnClose();
  }

 private:
  CDialog* m_owner;
  bool m_bEnding = false;
};

Qt::WindowFlags TopLevelFlags(unsigned long style, Qt::WindowFlags base) {
  Qt::WindowFlags flags = base | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
  if (style & WS_MAXIMIZEBOX) flags |= Qt::WindowMaximizeButtonHint;
  return flags;
}

QWidget* OwnerWidget(CWnd* pOwnerWnd) {
  if (pOwnerWnd) {
    if (QWidget* w = WidgetOf(*pOwnerWnd)) return w->window();
  }
  if (CWnd* main = AfxGetMainWnd()) {
    if (QWidget* w = WidgetOf(*main)) return w->window();
  }
  return QApplication::activeWindow();
}

class QtDialogPeer : public QtPeer<CDialogPeer> {
 public:
  QtDialogPeer(CDialog& owner, QuillonDialog* dialog)
      : QtPeer<CDialogPeer>(owner, dialog, Disposal::DeleteNow), m_dialog(dialog) {
    m_router = new CKeyRouter(owner, dialog, true);
  }
  ~QtDialogPeer() override {
    if (m_dialog) {
      m_dialog->Detach();
      m_dialog->hide();
    }
    if (m_router) m_router->deleteLater();
  }
  void Rebind(CWnd& newOwner) override {
    QtPeer<CDialogPeer>::Rebind(newOwner);
    if (auto* dialog = dynamic_cast<CDialog*>(&newOwner); dialog && m_dialog) m_dialog->Rebind(*dialog);
    if (m_router) m_router->Rebind(newOwner);
  }
  void RunModal() override {
    if (m_dialog) RunModalDialog(*m_dialog);
  }
  void EndModal(int nResult) override {
    if (m_dialog) m_dialog->End(nResult);
  }
  CKeyRouter* Router() const { return m_router; }

 private:
  QPointer<QuillonDialog> m_dialog;
  QPointer<CKeyRouter> m_router;
};

// -------------------------------------------------------------------- forms

class QtFormPeer : public QtPeer<CWndPeer> {
 public:
  QtFormPeer(CFormView& owner, QWidget* form) : QtPeer<CWndPeer>(owner, form, Disposal::DeleteLater) {
    m_router = new CKeyRouter(owner, form, false);
  }
  ~QtFormPeer() override {
    if (m_router) m_router->deleteLater();
  }
  void Rebind(CWnd& newOwner) override {
    QtPeer<CWndPeer>::Rebind(newOwner);
    if (m_router) m_router->Rebind(newOwner);
  }
  CKeyRouter* Router() const { return m_router; }

 private:
  QPointer<CKeyRouter> m_router;
};

// ------------------------------------------------------------------- frames

class QuillonFrame : public QMainWindow {
 public:
  explicit QuillonFrame(CFrameWnd& owner, Qt::WindowFlags flags) : QMainWindow(nullptr, flags), m_owner(&owner) {}
  void Detach() { m_owner = nullptr; }

 protected:
  void closeEvent(QCloseEvent* event) override {
    // The program decides: its OnClose destroys the window (or does not).
    event->ignore();
    if (m_owner) m_owner->OnClose();
  }

 private:
  CFrameWnd* m_owner;
};

int QtKeyOf(unsigned short key) {
  if (key >= 'A' && key <= 'Z') return Qt::Key_A + (key - 'A');
  if (key >= '0' && key <= '9') return Qt::Key_0 + (key - '0');
  if (key >= VK_F1 && key < VK_F1 + 12) return Qt::Key_F1 + (key - VK_F1);
  switch (key) {
    case VK_BACK:
      return Qt::Key_Backspace;
    case VK_RETURN:
      return Qt::Key_Return;
    case VK_ESCAPE:
      return Qt::Key_Escape;
    case VK_INSERT:
      return Qt::Key_Insert;
    case VK_DELETE:
      return Qt::Key_Delete;
    default:
      return 0;
  }
}

class QtFramePeer : public QtPeer<CFramePeer> {
 public:
  QtFramePeer(CFrameWnd& owner, QuillonFrame* frame, unsigned long style)
      : QtPeer<CFramePeer>(owner, frame, Disposal::DeleteLater), m_frame(frame), m_bFixed(!(style & WS_THICKFRAME)) {
    // Until a view sizes it.
    frame->resize(1024, 768);
  }
  ~QtFramePeer() override {
    if (m_frame) {
      m_frame->Detach();
      if (QWidget* view = m_frame->centralWidget()) {
        // The view's own peer disposes of its widget.
        m_frame->takeCentralWidget();
        view->setParent(nullptr);
        view->hide();
      }
    }
    for (QPointer<QShortcut>& shortcut : m_shortcuts) delete shortcut.data();
  }
  void SetView(CWndPeer* pViewPeer) override {
    if (!m_frame) return;
    if (m_frame->centralWidget()) m_frame->takeCentralWidget();
    auto* view = dynamic_cast<QtPeerBase*>(pViewPeer);
    if (view && view->Widget()) m_frame->setCentralWidget(view->Widget());
  }
  void SetClientSize(int cx, int cy) override {
    if (!m_frame) return;
    QSize total(cx, cy + StatusBarHeight());
    if (m_bFixed) {
      m_frame->setFixedSize(total);
    } else {
      m_frame->resize(total);
    }
  }
  CSize GetClientSize() const override {
    if (!m_frame) return CSize{};
    return CSize{m_frame->width(), m_frame->height() - StatusBarHeight()};
  }
  void RecalcLayout() override {
    if (!m_frame) return;
    if (QLayout* layout = m_frame->layout()) layout->activate();
  }
  void SetAccelerators(const std::vector<CAccelerator>& accelerators) override {
    for (QPointer<QShortcut>& shortcut : m_shortcuts) delete shortcut.data();
    m_shortcuts.clear();
    if (!m_frame) return;
    for (const CAccelerator& accel : accelerators) {
      int key = QtKeyOf(accel.key);
      if (key == 0) continue;
      Qt::KeyboardModifiers mods;
      if (accel.fVirt & FCONTROL) mods |= Qt::ControlModifier;
      if (accel.fVirt & FSHIFT) mods |= Qt::ShiftModifier;
      if (accel.fVirt & FALT) mods |= Qt::AltModifier;
      auto* shortcut = new QShortcut(QKeySequence(QKeyCombination(mods, static_cast<Qt::Key>(key))), m_frame);
      shortcut->setContext(Qt::WindowShortcut);
      const unsigned cmd = accel.cmd;
      QObject::connect(shortcut, &QShortcut::activated, Guard(), [this, cmd] { m_owner->OnCommand(cmd, BN_CLICKED); });
      m_shortcuts.emplace_back(shortcut);
    }
  }
  void Show(int nCmdShow) override {
    if (!m_frame) return;
    if (nCmdShow == SW_HIDE) {
      m_frame->hide();
    } else if (nCmdShow == SW_SHOWMINIMIZED) {
      m_frame->showMinimized();
    } else {
      m_frame->show();
      m_frame->activateWindow();
    }
  }

 private:
  int StatusBarHeight() const {
    QStatusBar* bar = m_frame->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
    if (!bar || bar->isHidden()) return 0;
    return bar->minimumHeight() == bar->maximumHeight() ? bar->maximumHeight() : bar->sizeHint().height();
  }

  QPointer<QuillonFrame> m_frame;
  bool m_bFixed;
  std::vector<QPointer<QShortcut>> m_shortcuts;
};

// --------------------------------------------------------------- status bar

class QtStatusBarPeer : public QtPeer<CStatusBarPeer> {
 public:
  QtStatusBarPeer(CStatusBar& owner, QStatusBar* bar) : QtPeer<CStatusBarPeer>(owner, bar, Disposal::DeleteLater), m_bar(bar) {}
  void SetPanes(const std::vector<std::string>& texts, const std::vector<bool>& on) override {
    if (!m_bar) return;
    while (m_labels.size() > texts.size()) {
      delete m_labels.back().data();
      m_labels.pop_back();
    }
    while (m_labels.size() < texts.size()) {
      auto* label = new QLabel(m_bar);
      label->setTextFormat(Qt::PlainText);
      if (m_labels.empty()) {
        // The message gives way: a long one is cut at its own pane rather
        // than pushing the indicators past the window's edge.
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        label->setMinimumWidth(0);
        m_bar->addWidget(label, 1);
      } else {
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        m_bar->addPermanentWidget(label);
      }
      m_labels.emplace_back(label);
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
      QLabel* label = m_labels[i];
      if (!label) continue;
      const QString text = GbkToQString(texts[i]);
      if (i > 0) {
        // An indicator keeps its width while it is off.
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(text) + 12);
      }
      label->setText(on[i] ? text : QString());
    }
    // A fixed height, known before the window is first laid out, so that
    // the frame can be sized to its form exactly.
    m_bar->ensurePolished();
    for (QPointer<QLabel>& label : m_labels) {
      if (label) label->ensurePolished();
    }
    m_bar->setFixedHeight(m_bar->sizeHint().height());
  }
  std::string GetText() const override {
    return !m_labels.empty() && m_labels[0] ? QStringToGbk(m_labels[0]->text()) : std::string();
  }
  void SetText(const std::string& text) override {
    if (!m_labels.empty() && m_labels[0]) m_labels[0]->setText(GbkToQString(text));
  }

 private:
  QPointer<QStatusBar> m_bar;
  std::vector<QPointer<QLabel>> m_labels;
};

// ------------------------------------------------------------------ backend

class CQtWindowBackend : public CWindowBackend {
 public:
  int LogicalDpi() const override { return QtLogicalDpi(); }

  std::unique_ptr<CDialogPeer> CreateDialogWindow(CDialog& owner, const CDialogTemplate& dlg,
                                                  CWnd* pOwnerWnd) override {
    auto* dialog = new QuillonDialog(owner, OwnerWidget(pOwnerWnd), TopLevelFlags(dlg.dwStyle, Qt::Dialog));
    dialog->setWindowTitle(GbkToQString(dlg.strCaption));
    const int dpi = LogicalDpi();
    dialog->setFixedSize(DialogUnitsToPixelsX(dlg.cx, dpi), DialogUnitsToPixelsY(dlg.cy, dpi));
    dialog->setSizeGripEnabled(false);
    return std::make_unique<QtDialogPeer>(owner, dialog);
  }

  std::unique_ptr<CWndPeer> CreateFormWindow(CFormView& owner, const CDialogTemplate& form, CFrameWnd& frame) override {
    QWidget* frameWidget = WidgetOf(frame);
    if (!frameWidget) return nullptr;
    auto* widget = new QWidget(frameWidget);
    const int dpi = LogicalDpi();
    widget->setFixedSize(DialogUnitsToPixelsX(form.cx, dpi), DialogUnitsToPixelsY(form.cy, dpi));
    widget->setAutoFillBackground(true);
    return std::make_unique<QtFormPeer>(owner, widget);
  }

  std::unique_ptr<CFramePeer> CreateFrameWindow(CFrameWnd& owner, const CCreateStruct& cs, CWnd* pParentWnd) override {
    auto* frame = new QuillonFrame(owner, TopLevelFlags(cs.style, Qt::Window));
    frame->setWindowTitle(GbkToQString(cs.strName));
    return std::make_unique<QtFramePeer>(owner, frame, cs.style);
  }

  std::unique_ptr<CStatusBarPeer> CreateStatusBar(CStatusBar& owner, CFrameWnd& frame) override {
    auto* mainWindow = qobject_cast<QMainWindow*>(WidgetOf(frame));
    if (!mainWindow) return nullptr;
    auto* bar = new QStatusBar(mainWindow);
    bar->setSizeGripEnabled(frame.GetStyle() & WS_THICKFRAME);
    // Room at the right edge, as the Win32 status bar keeps for its grip: the last
    // indicator's border is not lost against the window's edge.
    bar->setContentsMargins(0, 0, 4, 0);
    mainWindow->setStatusBar(bar);
    return std::make_unique<QtStatusBarPeer>(owner, bar);
  }

  std::unique_ptr<CWndPeer> CreateControl(CWnd& parent, CWnd& control, const CControlTemplate& ctl) override {
    QWidget* parentWidget = WidgetOf(parent);
    if (!parentWidget) return nullptr;
    std::unique_ptr<CWndPeer> peer = CreateQtControl(parent, control, ctl, parentWidget, LogicalDpi());
    if (!peer) return nullptr;
    if (CKeyRouter* router = KeyRouterOf(parent)) {
      if (auto* base = dynamic_cast<QtPeerBase*>(peer.get())) router->Watch(base->Widget());
    }
    return peer;
  }

  int RunMessageLoop() override { return QApplication::exec(); }

  void QuitMessageLoop(int nExitCode) override { QCoreApplication::exit(nExitCode); }
};

}  // namespace

CKeyRouter* KeyRouterOf(const CWnd& window) {
  if (auto* dialog = dynamic_cast<QtDialogPeer*>(window.GetPeer())) return dialog->Router();
  if (auto* form = dynamic_cast<QtFormPeer*>(window.GetPeer())) return form->Router();
  return nullptr;
}

QWidget* WidgetOf(const CWnd& wnd) {
  auto* base = dynamic_cast<QtPeerBase*>(wnd.GetPeer());
  return base ? base->Widget() : nullptr;
}

CWindowBackend& QtWindowBackend() {
  static CQtWindowBackend backend;
  return backend;
}
