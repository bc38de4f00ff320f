#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

#include "platform/window/dialog.h"
#include "platform/window/qt/qt_peers.h"
#include "platform/window/qt/qt_text.h"

// --------------------------------------------------------------- QtPeerBase

QtPeerBase::QtPeerBase(CWnd& owner, QWidget* widget, Disposal disposal)
    : m_owner(&owner), m_widget(widget), m_disposal(disposal), m_guard(std::make_unique<QObject>()) {}

QtPeerBase::~QtPeerBase() {
  // No callback may reach the owner from here on.
  m_guard.reset();
  for (auto& [id, timer] : m_timers) {
    if (!timer) continue;
    timer->stop();
    // Not deleted at once: the window may be going away from inside this
    // very timer's tick.
    timer->deleteLater();
  }
  m_timers.clear();
  if (!m_widget) return;
  switch (m_disposal) {
    case Disposal::DeleteNow:
      delete m_widget.data();
      break;
    case Disposal::DeleteLater:
      m_widget->hide();
      m_widget->deleteLater();
      break;
    case Disposal::Leave:
      break;
  }
}

bool QtPeerBase::StartTimer(unsigned nIdEvent, unsigned nElapse) {
  if (!m_widget) return false;
  QPointer<QTimer>& timer = m_timers[nIdEvent];
  if (!timer) {
    timer = new QTimer();
    // Window timers tick on time even under load: the display refresh is
    // measured against its period.
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.data(), &QTimer::timeout, Guard(), [this, nIdEvent] { m_owner->OnTimer(nIdEvent); });
  }
  timer->start(static_cast<int>(nElapse == 0 ? 1 : nElapse));
  return true;
}

bool QtPeerBase::StopTimer(unsigned nIdEvent) {
  auto found = m_timers.find(nIdEvent);
  if (found == m_timers.end()) return false;
  QPointer<QTimer> timer = found->second;
  m_timers.erase(found);
  if (!timer) return false;
  timer->stop();
  timer->deleteLater();
  return true;
}

// ------------------------------------------------------------------- QtPeer

template <class Interface>
void QtPeer<Interface>::SetText(const std::string& text) {
  if (m_widget) m_widget->setWindowTitle(GbkToQString(text));
}

template <class Interface>
std::string QtPeer<Interface>::GetText() const {
  return m_widget ? QStringToGbk(m_widget->windowTitle()) : std::string();
}

template <class Interface>
void QtPeer<Interface>::SetFocus() {
  if (!m_widget) return;
  QWidget* target = m_widget->focusProxy() ? m_widget->focusProxy() : m_widget.data();
  if (target->focusPolicy() == Qt::NoFocus) {
    // Composite controls (the address fields) take the focus in a child.
    if (QWidget* next = target->nextInFocusChain(); next && target->isAncestorOf(next)) target = next;
  }
  target->setFocus(Qt::OtherFocusReason);
}

template <class Interface>
bool QtPeer<Interface>::HasFocus() const {
  if (!m_widget) return false;
  QWidget* focus = QApplication::focusWidget();
  return focus && (focus == m_widget || m_widget->isAncestorOf(focus));
}

template <class Interface>
void QtPeer<Interface>::SetRedraw(bool bRedraw) {
  if (!m_widget) return;
  m_widget->setUpdatesEnabled(bRedraw);
  if (bRedraw) m_widget->update();
}

template <class Interface>
CRect QtPeer<Interface>::GetWindowRect() const {
  if (!m_widget) return CRect{};
  QRect r = m_widget->isWindow() ? m_widget->frameGeometry() : m_widget->geometry();
  return CRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

template <class Interface>
CRect QtPeer<Interface>::GetClientRect() const {
  if (!m_widget) return CRect{};
  return CRect{0, 0, m_widget->width(), m_widget->height()};
}

template class QtPeer<CWndPeer>;
template class QtPeer<CButtonPeer>;
template class QtPeer<CEditPeer>;
template class QtPeer<CComboPeer>;
template class QtPeer<CListPeer>;
template class QtPeer<CIpAddressPeer>;
template class QtPeer<CDialogPeer>;
template class QtPeer<CFramePeer>;
template class QtPeer<CStatusBarPeer>;

// --------------------------------------------------------------- CKeyRouter

CKeyRouter::CKeyRouter(CWnd& owner, QWidget* top, bool bDialog) : m_owner(&owner), m_top(top), m_bDialog(bDialog) {
  Watch(top);
}

void CKeyRouter::Watch(QWidget* widget) {
  if (!widget) return;
  widget->installEventFilter(this);
  for (QWidget* child : widget->findChildren<QWidget*>()) child->installEventFilter(this);
}

void CKeyRouter::Enter(QWidget* receiver) {
  int id = 0;
  if (auto* button = qobject_cast<QPushButton*>(receiver); button && button->window() == m_top) {
    id = button->property(kCtlIdProperty).toInt();
  }
  if (id == 0 && m_bDialog) {
    if (auto* dialog = dynamic_cast<CDialog*>(m_owner)) id = dialog->GetDefID();
  }
  if (id == 0) id = IDOK;
  // A disabled default button takes no Enter.
  if (CWnd* control = m_owner->GetDlgItem(id); control && !control->IsWindowEnabled()) return;
  m_owner->OnCommand(static_cast<unsigned>(id), BN_CLICKED);
}

void CKeyRouter::Escape() { m_owner->OnCommand(static_cast<unsigned>(IDCANCEL), BN_CLICKED); }

bool CKeyRouter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  // Popups (a combo box's open list) handle their own keys.
  if (!widget || !m_top || widget->window() != m_top) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
  if (mods != Qt::NoModifier) return false;
  switch (key->key()) {
    case Qt::Key_Escape:
      Escape();
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // A multi-line edit that wants Enter keeps it as a line break.
      if (widget->property("quillonWantReturn").toBool()) return false;
      Enter(widget);
      return true;
    default:
      return false;
  }
}
