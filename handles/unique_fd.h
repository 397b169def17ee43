#pragma once

#include <unistd.h>

#include <utility>

namespace vovozodo {

// A file descriptor, closed when its owner goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd &&other) noexcept : m_fd(other.release()) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept {
        reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1) {
        if (m_fd >= 0 && m_fd != fd)
            ::close(m_fd);
        m_fd = fd;
    }
    // Closes at once, for a file just written: the last write error can
    // surface only here. True when there was one to close and it closed.
    bool closeChecked() { return m_fd >= 0 && ::close(release()) == 0; }

private:
    int m_fd = -1;
};

} // namespace vovozodo
