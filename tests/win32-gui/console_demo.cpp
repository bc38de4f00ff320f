// quillon-console-demo: the real program's start-up, then the serial
// console opened as "命令设置" opens it, with GPS-style lines arriving in the
// document as a connected port's reader hands them on. For the screenshots
// of the Win32 backend under Wine (scripts/screenshots-windows), where no
// serial port can be connected: Wine cannot drive a pseudo-terminal as a COM
// port. Ends when the main window is closed.
#include <atomic>
#include <string>
#include <thread>

#include "app/doc_template.h"
#include "app/quillon_app.h"
#include "bridge/quillon_doc.h"
#include "ui/quillon_view.h"

#include "platform/window/win32/win32_backend.h"
#include "platform/window/win32/win32_system.h"

namespace {

CQuillonApp theApp;
CQuillonView* g_view = nullptr;

void CALLBACK OpenConsole(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (g_view != nullptr) g_view->OnCommandSettings();
}

}  // namespace

int main(int argc, char** argv) {
  InstallWin32WindowBackend();
  theApp.m_argv = {"quillon"};
  if (!theApp.InitInstance()) return 1;
  g_view = theApp.GetDocTemplate()->GetView();
  CQuillonDoc* doc = g_view->GetDocument();
  // The display refresh, as a click on "连接串口" starts it.
  g_view->SetTimer(DISPLAY_TIMER, DISPLAY_PERIOD_MS);

  std::atomic<bool> stop{false};
  std::thread reader([doc, &stop] {
    const std::string lines[] = {"$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76\r\n",
                                 "$GPRMC,092750.000,A,5321.6802,N,00630.3372,W,0.02,31.66,280511,,,A*43\r\n",
                                 "$GPGSA,A,3,10,07,05,02,29,04,08,13,,,,,1.72,1.03,1.38*0A\r\n"};
    for (int i = 0; !stop.load(); i = (i + 1) % 3) {
      for (unsigned char c : lines[i]) doc->OnSerialByte(c);
      doc->OnSerialBlockEnd();
      Sleep(150);
    }
  });
  SetTimer(nullptr, 0, 1500, OpenConsole);
  const int code = theApp.Run();
  stop.store(true);
  reader.join();
  return code;
}
