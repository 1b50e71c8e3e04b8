#pragma once

#include <cstddef>

namespace zorvan {

// The pipe through which one connection's body bytes go from its socket
// into the target file inside the kernel: splice(2) hands the socket's
// pages to the pipe and the pipe's pages to the file, so no byte is copied
// into the program and back. Bytes stay in it only for one receive step.
class SplicePipe {
public:
    SplicePipe() = default;
    ~SplicePipe() { close(); }
    SplicePipe(const SplicePipe&) = delete;
    SplicePipe& operator=(const SplicePipe&) = delete;

    // Makes the pipe, as large as the system lets this user have. False
    // when it cannot be made, or only so small (the user's pipe allowance
    // spent) that reading through the buffer costs less.
    bool open();
    // Drops the pipe and anything in it.
    void close();
    bool isOpen() const { return in_ >= 0; }

    int in() const { return in_; }    // where the socket's bytes go
    int out() const { return out_; }  // where the file takes them from
    std::size_t capacity() const { return capacity_; }

    // Takes `count` bytes out of the pipe into memory (bytes that turn out
    // not to be the file's at the place they were meant for).
    bool take(char* into, std::size_t count);

private:
    int in_ = -1;
    int out_ = -1;
    std::size_t capacity_ = 0;
};

}  // namespace zorvan
