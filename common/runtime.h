#pragma once

#include <string>

#include "common/exception.h"

namespace common {

class RuntimeError : public Error {
public:
    RuntimeError(std::string function, std::string detail);
    ~RuntimeError() override = default;
    std::string detail() const;
    std::string string() const override = 0;

protected:
    std::string _detail;
};

// An error in the model the user wrote; the detail is shown to the user.
class UserError : public RuntimeError {
public:
    UserError(std::string function, std::string detail);
    ~UserError() override = default;
    std::string string() const override;
};

// A broken internal expectation; the detail is kept but not shown.
class SystemError : public RuntimeError {
public:
    SystemError(std::string function, std::string detail);
    ~SystemError() override = default;
    std::string string() const override;
};

}  // namespace common
