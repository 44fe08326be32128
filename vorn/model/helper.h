#pragma once

#include <sys/time.h>

#include <string>

namespace vorn {

// Front end of the tool: hands the model text to the scanner and runs the parser.
class Helper {
public:
    // Makes text (kept as a copy) the scanner's input.
    void scan(std::string text) const;
    // Parses the input into the model globals; a syntax error ends the process.
    int parse() const;
    // Switches the parse trace on standard error on.
    void debug() const;
};

// The span from t2 to t1, with tv_usec in 0..999999 (a negative microsecond
// difference borrows one second).
timeval diffms(const timeval& t1, const timeval& t2);

}  // namespace vorn
