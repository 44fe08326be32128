#pragma once

#include <string>

#include "common/exception.h"

namespace common {

class DebugError : public Error {
public:
    explicit DebugError(std::string function);
    ~DebugError() override = default;
    std::string string() const override;
};

}  // namespace common
