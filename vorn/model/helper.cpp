#include "vorn/model/helper.h"

#include <utility>

#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"

namespace vorn {

void Helper::scan(std::string text) const { scan_string(std::move(text)); }

int Helper::parse() const { return yyparse(); }

void Helper::debug() const { yydebug = 1; }

timeval diffms(const timeval& t1, const timeval& t2) {
    timeval d;
    d.tv_sec = t1.tv_sec - t2.tv_sec;
    d.tv_usec = t1.tv_usec - t2.tv_usec;
    if (d.tv_usec < 0) {
        d.tv_sec -= 1;
        d.tv_usec += 1000000;
    }
    return d;
}

}  // namespace vorn
