// Inside the Qt backend: the peer classes that tie a CWnd to its widget.
// Each peer keeps a guard object as the context of every connection it makes,
// so that destroying the peer cuts every callback into the CWnd at once,
// whatever becomes of the widget. UI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>

#include "platform/window/backend.h"
#include "platform/window/wnd.h"

// Property on every control widget: the control's identifier.
inline constexpr const char* kCtlIdProperty = "quillonCtlId";

class QtPeerBase {
 public:
  virtual ~QtPeerBase();
  QWidget* Widget() const { return m_widget.data(); }
  CWnd* Owner() const { return m_owner; }

 protected:
  enum class Disposal { DeleteLater, DeleteNow, Leave };
  QtPeerBase(CWnd& owner, QWidget* widget, Disposal disposal);

  bool StartTimer(unsigned nIdEvent, unsigned nElapse);
  bool StopTimer(unsigned nIdEvent);
  // Context for connections: destroyed first when the peer goes.
  QObject* Guard() const { return m_guard.get(); }

  CWnd* m_owner;
  QPointer<QWidget> m_widget;
  Disposal m_disposal;

 private:
  std::unique_ptr<QObject> m_guard;
  std::map<unsigned, QPointer<QTimer>> m_timers;
};

// The parts every peer shares, on top of the interface it implements.
template <class Interface>
class QtPeer : public Interface, public QtPeerBase {
 public:
  QtPeer(CWnd& owner, QWidget* widget, Disposal disposal) : QtPeerBase(owner, widget, disposal) {}

  void Rebind(CWnd& newOwner) override { m_owner = &newOwner; }
  void SetText(const std::string& text) override;
  std::string GetText() const override;
  void SetEnabled(bool bEnable) override {
    if (m_widget) m_widget->setEnabled(bEnable);
  }
  // Its own state, as the window system reports it, not its parent's.
  bool IsEnabled() const override { return m_widget && !m_widget->testAttribute(Qt::WA_ForceDisabled); }
  void SetVisible(bool bVisible) override {
    if (m_widget) m_widget->setVisible(bVisible);
  }
  bool IsVisible() const override { return m_widget && m_widget->isVisible(); }
  void SetFocus() override;
  bool HasFocus() const override;
  void SetRedraw(bool bRedraw) override;
  void Invalidate() override {
    if (m_widget) m_widget->update();
  }
  void ApplyStyle(unsigned long dwStyle, unsigned long dwExStyle) override {}
  CRect GetWindowRect() const override;
  CRect GetClientRect() const override;
  void Move(const CRect& rect) override {
    if (m_widget) m_widget->setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
  }
  bool SetTimer(unsigned nIdEvent, unsigned nElapse) override { return StartTimer(nIdEvent, nElapse); }
  bool KillTimer(unsigned nIdEvent) override { return StopTimer(nIdEvent); }
};

// Routes Enter and Escape inside a dialog or form as the window system's
// dialog manager does, and keeps the close box on the program's own path.
class CKeyRouter : public QObject {
 public:
  CKeyRouter(CWnd& owner, QWidget* top, bool bDialog);
  void Rebind(CWnd& owner) { m_owner = &owner; }
  // Watches widget and everything inside it.
  void Watch(QWidget* widget);
  // Enter: the push button that has it (the focused one), else the
  // default button, else IDOK.
  void Enter(QWidget* receiver);
  // Escape: the cancel command.
  void Escape();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CWnd* m_owner;
  QPointer<QWidget> m_top;
  bool m_bDialog;
};

// Creates the peer of a control built from a template (qt_controls.cpp).
std::unique_ptr<CWndPeer> CreateQtControl(CWnd& parent, CWnd& control, const CControlTemplate& ctl,
                                          QWidget* parentWidget, int dpi);

// The key router of a dialog's or form's peer, or nullptr.
CKeyRouter* KeyRouterOf(const CWnd& window);
