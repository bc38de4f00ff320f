#include "platform/window/backend.h"

#include <atomic>

namespace {

std::atomic<CWindowBackend*> g_backend{nullptr};

}  // namespace

CWndPeer::~CWndPeer() = default;
CWindowBackend::~CWindowBackend() = default;

void SetWindowBackend(CWindowBackend* pBackend) { g_backend.store(pBackend, std::memory_order_release); }

CWindowBackend* GetWindowBackend() { return g_backend.load(std::memory_order_acquire); }
