#pragma once

#include "updater_controller.h"

#include <memory>

namespace zonkle {

// This platform's updater for the build's feed, already started.
std::unique_ptr<UpdaterController> makePlatformUpdater();

} // namespace zonkle
