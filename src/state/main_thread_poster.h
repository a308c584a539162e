#pragma once

#include "daemon_link/ipc_client.h"

namespace zonkle {

// Posts tasks to the Qt event loop of the application's main thread, in call order.
MainThreadPoster qtMainThreadPoster();

} // namespace zonkle
