// The driver registry: every driver the engine knows, looked up by ISAM name.
#pragma once

#include <string_view>
#include <vector>

#include "engine/driver.h"

namespace tabulor {

// All registered drivers, in registration order.
const std::vector<const Driver*>& allDrivers();

// The driver whose ISAM names hold `isam` (compared without regard to case, surrounding
// blanks ignored); nullptr when there is none.
const Driver* findDriver(std::string_view isam);

}  // namespace tabulor
