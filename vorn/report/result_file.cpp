#include "vorn/report/result_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace vorn {

namespace {

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

std::string refusal(const std::string& option, const std::string& path, const std::string& why) {
    return "vorn: " + option + ": cannot write '" + path + "': " + why + "\n";
}

}  // namespace

std::unique_ptr<ResultFile> ResultFile::open(const std::string& option, const std::string& path,
                                             const std::string& model, std::string& error) {
    struct stat target;
    if (::stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode)) {
        struct stat other;
        bool model_known = model == "-" ? ::fstat(STDIN_FILENO, &other) == 0 : ::stat(model.c_str(), &other) == 0;
        if (model_known && same_file(target, other)) {
            error = refusal(option, path, "it is the model file");
            return nullptr;
        }
        if (::fstat(STDOUT_FILENO, &other) == 0 && same_file(target, other)) {
            error = refusal(option, path, "it is where the report goes");
            return nullptr;
        }
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = refusal(option, path, std::strerror(errno));
        return nullptr;
    }
    return std::unique_ptr<ResultFile>(new ResultFile(option, path, fd));
}

bool ResultFile::same_file_as(const ResultFile& other) const {
    struct stat mine;
    struct stat theirs;
    // Devices such as /dev/null take any number of writers.
    return ::fstat(_fd, &mine) == 0 && ::fstat(other._fd, &theirs) == 0 && S_ISREG(mine.st_mode) &&
           same_file(mine, theirs);
}

ResultFile::~ResultFile() {
    if (_fd >= 0) ::close(_fd);
}

bool ResultFile::write(const std::string& text, std::string& error) {
    const char* data = text.data();
    size_t left = text.size();
    int failure = 0;
    while (left > 0 && failure == 0) {
        ssize_t n = ::write(_fd, data, left);
        if (n < 0) {
            if (errno != EINTR) failure = errno;
            continue;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    // A file system may report a failed write only when the file is closed.
    if (::close(_fd) != 0 && failure == 0) failure = errno;
    _fd = -1;
    if (failure == 0) return true;
    error = refusal(_option, _path, std::strerror(failure));
    return false;
}

}  // namespace vorn
