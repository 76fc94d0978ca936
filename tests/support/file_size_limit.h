// A disk that fills up, as the system makes one: while `run` runs, no file
// grows past `bytes` (a write past it fails with EFBIG; SIGXFSZ is ignored).
#pragma once
#include <sys/resource.h>
#include <csignal>
#include <functional>

inline void withFileSizeLimit(rlim_t bytes, const std::function<void()>& run)
{
    rlimit keep{};
    getrlimit(RLIMIT_FSIZE, &keep);
    const rlimit small{bytes, keep.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    run();
    setrlimit(RLIMIT_FSIZE, &keep);
    std::signal(SIGXFSZ, handler);
}
