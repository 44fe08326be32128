#pragma once

#include <memory>
#include <string>
#include <utility>

namespace vorn {

// A file of results (--json, --graph), opened (created or emptied) before the
// run so that a path that cannot be written is reported before any work is done.
class ResultFile {
public:
    // Refuses the model file itself (`model`, "-" for standard input) and the
    // file standard output writes to, which the results would overwrite or
    // garble. Null with `error` (a full line naming `option`) when refused or
    // not writable.
    static std::unique_ptr<ResultFile> open(const std::string& option, const std::string& path,
                                            const std::string& model, std::string& error);
    ~ResultFile();
    ResultFile(const ResultFile&) = delete;
    ResultFile& operator=(const ResultFile&) = delete;

    // Whether both are open on the same regular file.
    bool same_file_as(const ResultFile& other) const;

    // Writes the text and closes the file; false with `error` (a full line) when it fails.
    bool write(const std::string& text, std::string& error);

private:
    ResultFile(std::string option, std::string path, int fd)
        : _option(std::move(option)), _path(std::move(path)), _fd(fd) {}
    std::string _option;
    std::string _path;
    int _fd;
};

}  // namespace vorn
