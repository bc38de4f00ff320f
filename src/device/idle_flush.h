// How long a serial line may stay quiet before the bytes of a partial frame
// leave on their own (the idle flush), in milliseconds. The device, the
// engine, the document and the headless bridge's --flush-idle all take this
// range; anything outside it turns the flush off.
#pragma once

constexpr int IDLE_FLUSH_MIN_MS = 1;
constexpr int IDLE_FLUSH_MAX_MS = 10000;
