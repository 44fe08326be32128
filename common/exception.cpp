#include "common/exception.h"

#include <utility>

#include "common/config.h"

namespace common {

std::string Exception::string() const { return "Unexpected exception. " + conf_contact; }

Error::Error(std::string function) : _function(std::move(function)) {}

std::string Error::function() const { return _function; }

Warning::Warning(std::string function, std::string detail)
    : _function(std::move(function)), _detail(std::move(detail)) {}

std::string Warning::function() const { return _function; }

std::string Warning::detail() const { return _detail; }

std::string Warning::string() const { return "Warning: " + _detail; }

}  // namespace common
