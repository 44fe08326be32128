#include "common/runtime.h"

#include <utility>

#include "common/config.h"

namespace common {

RuntimeError::RuntimeError(std::string function, std::string detail)
    : Error(std::move(function)), _detail(std::move(detail)) {}

std::string RuntimeError::detail() const { return _detail; }

UserError::UserError(std::string function, std::string detail)
    : RuntimeError(std::move(function), std::move(detail)) {}

std::string UserError::string() const { return "Error: " + _detail; }

SystemError::SystemError(std::string function, std::string detail)
    : RuntimeError(std::move(function), std::move(detail)) {}

std::string SystemError::string() const { return "System error. " + conf_contact; }

}  // namespace common
