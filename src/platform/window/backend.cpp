#include "platform/window/backend.h"

#include <atomic>

namespace {

std::atomic<CWindowBackend*> g_backend{nullptr};

}  // namespace

CWndPeer::~CWndPeer() = default;
CWindowBackend::~CWindowBackend() = default;

CSize CWindowBackend::MapDialogSize(int cx, int cy) const {
  const int dpi = LogicalDpi();
  return CSize{DialogUnitsToPixelsX(cx, dpi), DialogUnitsToPixelsY(cy, dpi)};
}

void SetWindowBackend(CWindowBackend* pBackend) { g_backend.store(pBackend, std::memory_order_release); }

CWindowBackend* GetWindowBackend() { return g_backend.load(std::memory_order_acquire); }
