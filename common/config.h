#pragma once

#include <string>

namespace common {

// Notice appended to reports of failures that point at a fault of the tool itself.
extern const std::string conf_contact;

}  // namespace common
