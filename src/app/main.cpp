// The windowed program: the one application object, then the Qt window
// layer's entry, which runs its start-up and the message loop.
#include "app/quillon_app.h"
#include "platform/process_start.h"
#include "platform/window/qt/qt_backend.h"

namespace {

CQuillonApp theApp;

}  // namespace

int main(int argc, char** argv) {
  if (!MakeStandardDescriptorsValid()) return 1;
  return RunCatchingOutOfMemory("quillon", &QtWinMain, argc, argv);
}
