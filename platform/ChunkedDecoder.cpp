#include "platform/ChunkedDecoder.h"

#include <algorithm>

#include "platform/ASCII.h"

namespace platform {

bool ChunkedDecoder::takeLine(std::string_view input, size_t& at) {
  while (at < input.size()) {
    const char c = input[at++];
    if (c == '\n') {
      // RFC 9112 2.2: a bare LF ends a line too.
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      return true;
    }
    line_ += c;
    if (line_.size() > kMaximumLineBytes) return false;
  }
  return false;
}

ChunkedDecoder::Status ChunkedDecoder::feed(std::string_view input, std::string& out, size_t* consumed) {
  size_t at = 0;
  while (status_ == Status::NeedMore && at < input.size()) {
    switch (state_) {
      case State::Size: {
        if (!takeLine(input, at)) {
          if (line_.size() > kMaximumLineBytes) return malformed();
          break;
        }
        std::uint64_t size = 0;
        size_t digits = 0;
        for (; digits < line_.size(); ++digits) {
          const int value = ascii::hexValue(line_[digits]);
          if (value < 0) break;
          if (digits == 15) return malformed();  // beyond 2^60: no body of ours
          size = size * 16 + static_cast<std::uint64_t>(value);
        }
        // Only an extension (after optional blanks) may follow the size.
        size_t rest = digits;
        while (rest < line_.size() && (line_[rest] == ' ' || line_[rest] == '\t')) ++rest;
        if (digits == 0 || (rest < line_.size() && line_[rest] != ';')) return malformed();
        line_.clear();
        remaining_ = size;
        state_ = size == 0 ? State::Trailer : State::Data;
        break;
      }
      case State::Data: {
        const size_t take = static_cast<size_t>(std::min<std::uint64_t>(remaining_, input.size() - at));
        out.append(input.substr(at, take));
        at += take;
        remaining_ -= take;
        if (remaining_ == 0) state_ = State::DataEnd;
        break;
      }
      case State::DataEnd:
        if (!takeLine(input, at)) {
          if (!line_.empty() && line_ != "\r") return malformed();
          break;
        }
        if (!line_.empty()) return malformed();
        state_ = State::Size;
        break;
      case State::Trailer:
        if (!takeLine(input, at)) {
          if (line_.size() > kMaximumLineBytes) return malformed();
          break;
        }
        if (line_.empty()) {
          state_ = State::Done;
          status_ = Status::Done;
        }
        line_.clear();
        break;
      case State::Done: break;
    }
  }
  if (consumed) *consumed = at;
  return status_;
}

}  // namespace platform
