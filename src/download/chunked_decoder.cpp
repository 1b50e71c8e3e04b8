#include "download/chunked_decoder.h"

#include "text/percent_coding.h"

#include <algorithm>

namespace zorvan {

// Gathers bytes into line_ up to a line end; true once the line is whole.
bool ChunkedDecoder::takeLine(std::string_view bytes, std::size_t& at) {
    while (at < bytes.size()) {
        const char c = bytes[at++];
        if (c == '\n') {
            if (!line_.empty() && line_.back() == '\r') line_.pop_back();
            return true;
        }
        line_ += c;
        if (line_.size() > maxLineBytes) {
            state_ = State::Failed;
            return false;
        }
    }
    return false;
}

void ChunkedDecoder::endSizeLine() {
    const std::string_view size = std::string_view(line_).substr(0, line_.find(';'));
    std::size_t digits = 0;
    std::uint64_t value = 0;
    for (const char c : size) {
        if (c == ' ' || c == '\t') {
            if (digits > 0) break;  // white space may follow the number
            continue;
        }
        const int digit = hexDigitValue(c);
        if (digit < 0 || ++digits > 15) {  // 15 hex digits: far beyond any file
            state_ = State::Failed;
            return;
        }
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    if (digits == 0) {
        state_ = State::Failed;
        return;
    }
    remaining_ = value;
    state_ = value == 0 ? State::Trailer : State::Data;
}

std::size_t ChunkedDecoder::feed(std::string_view bytes, std::string& out) {
    std::size_t at = 0;
    while (at < bytes.size() && state_ != State::Done && state_ != State::Failed) {
        switch (state_) {
            case State::SizeLine:
                if (!takeLine(bytes, at)) break;
                endSizeLine();
                line_.clear();
                break;
            case State::Data: {
                const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, bytes.size() - at));
                out.append(bytes.substr(at, n));
                at += n;
                remaining_ -= n;
                if (remaining_ == 0) state_ = State::DataEnd;
                break;
            }
            case State::DataEnd:
                if (!takeLine(bytes, at)) break;
                state_ = line_.empty() ? State::SizeLine : State::Failed;  // the data must end with its line end
                line_.clear();
                break;
            case State::Trailer:
                if (!takeLine(bytes, at)) break;
                if (line_.empty()) state_ = State::Done;  // an empty line ends the trailer, and the body
                line_.clear();
                break;
            case State::Done:
            case State::Failed:
                break;
        }
    }
    return at;
}

}  // namespace zorvan
