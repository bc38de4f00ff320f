// The windowed program on Windows: the one application object, then the
// Win32 window layer's entry, which runs its start-up and the message loop.
#include "app/quillon_app.h"
#include "platform/process_start.h"
#include "platform/window/win32/win32_backend.h"

namespace {

CQuillonApp theApp;

}  // namespace

int main(int argc, char** argv) {
  if (!MakeStandardDescriptorsValid()) return 1;
  return RunCatchingOutOfMemory("quillon", &Win32WinMain, argc, argv);
}
