#pragma once

#include <exception>
#include <string>

namespace common {

// Root of every failure the tool reports. string() composes the one line the
// driver prints for it; what() is never used for the tool's own texts.
class _Exception : public std::exception {
public:
    _Exception() = default;
    virtual ~_Exception() = default;
    virtual std::string string() const = 0;
};

// An internal failure without further information: prints a bug-report notice.
class Exception : public _Exception {
public:
    Exception() = default;
    ~Exception() override = default;
    std::string string() const override;
};

// A failure raised by a named operation.
class Error : public _Exception {
public:
    explicit Error(std::string function);
    ~Error() override = default;
    std::string function() const;
    std::string string() const override = 0;

protected:
    std::string _function;
};

class Warning : public _Exception {
public:
    Warning(std::string function, std::string detail);
    ~Warning() override = default;
    std::string function() const;
    std::string detail() const;
    std::string string() const override;

protected:
    std::string _function;
    std::string _detail;
};

}  // namespace common
