#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zorvan {

// Undoes "Transfer-Encoding: chunked" on a body that arrives in pieces of
// any size: hexadecimal chunk sizes (extensions after ";" ignored), the
// data, the zero-size last chunk and its trailer lines. Line ends may be
// CRLF or a bare LF.
class ChunkedDecoder {
public:
    // Appends the data carried by `bytes` to `out`. Returns how many bytes
    // it used: all of them, unless the body ended (or turned out malformed)
    // within them.
    std::size_t feed(std::string_view bytes, std::string& out);

    bool done() const { return state_ == State::Done; }
    bool failed() const { return state_ == State::Failed; }

private:
    enum class State { SizeLine, Data, DataEnd, Trailer, Done, Failed };
    // A size or trailer line longer than this is not a chunked body.
    static constexpr std::size_t maxLineBytes = 4096;

    bool takeLine(std::string_view bytes, std::size_t& at);
    void endSizeLine();

    State state_ = State::SizeLine;
    std::string line_;           // the line being read, without its end
    std::uint64_t remaining_ = 0;  // data bytes of the current chunk still to come
};

}  // namespace zorvan
