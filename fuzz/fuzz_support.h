#pragma once

// What both fuzz targets share: a silent standard output, a fresh start for the
// process-wide state before each input, and the driver's way of reading a file.

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <streambuf>
#include <string>

#include "common/runtime.h"
#include "symbolic/namer.h"
#include "symbolic/srule.h"
#include "vorn/model/parser.h"

namespace vorn_fuzz {

// Swallows everything: the scanner's messages, the closure trace and the report.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

inline void silence_standard_output() {
    static NullBuffer null;
    std::cout.rdbuf(&null);
}

// The namer and the SID counter are process-wide and never reset by the tool,
// which reads one model per process. Starting every input from their initial
// values makes a finding reproduce from its input alone, and keeps the namer's
// table of constants from growing over millions of inputs. The parser's
// globals must have been released by the previous input.
inline void start_like_a_fresh_process() {
    sym::namer = sym::_Namer();
    sym::StateRule::_sid = 0;
}

// The text the driver hands to the scanner: the file's lines, each ended by one
// line feed, so a last line without a line break gains one.
inline std::string as_read_by_driver(const uint8_t* data, size_t size) {
    std::string text;
    text.reserve(size + 1);
    size_t start = 0;
    while (start < size) {
        size_t end = start;
        while (end < size && data[end] != '\n') ++end;
        text.append(reinterpret_cast<const char*>(data) + start, end - start);
        text += '\n';
        start = end + 1;
    }
    return text;
}

// Thrown by the targets' hooks to abandon an input that has done enough work.
struct WorkBoundReached {};

// A model error (UserError), a syntax error or an exhausted work bound is an
// expected end of a run. Any other exception is left uncaught, so that it ends
// the process as a finding: the driver would print one of its "please report"
// lines for it, which no model should provoke.
template <class Run>
void run_guarded(Run run) {
    try {
        run();
    } catch (const common::UserError&) {
    } catch (const vorn::SyntaxError&) {
    } catch (const WorkBoundReached&) {
    }
}

}  // namespace vorn_fuzz
