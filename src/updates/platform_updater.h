#pragma once

#include <memory>

#include "updater_controller.h"

namespace zonkle {

// This platform's updater for the build's feed, already started.
std::unique_ptr<UpdaterController> makePlatformUpdater();

} // namespace zonkle
