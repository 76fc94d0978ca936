// A disk that fills up, as the system makes one: no file this process writes
// grows past `bytes` while the object lives (writes past it fail with EFBIG,
// the signal that would end the process ignored).
#pragma once
#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>

namespace testing_support {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : handler_(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &keep_);
        rlimit small = keep_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &keep_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit keep_{};
    void (*handler_)(int);
};

}  // namespace testing_support
#endif
