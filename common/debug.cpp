#include "common/debug.h"

#include <utility>

#include "common/config.h"

namespace common {

DebugError::DebugError(std::string function) : Error(std::move(function)) {}

std::string DebugError::string() const { return "Debug error. " + conf_contact; }

}  // namespace common
