// The error type of the player: an exception that carries a cp932 message.
//
// The message is what a user sees (a message box, a line on stderr). Load boundaries add context
// lines ("while reading page X") with AddContext and rethrow; the context goes to logs and to
// orintool's output, not into the message the game shows.
#pragma once

#include <exception>
#include <string>
#include <vector>

namespace orin {

class Error : public std::exception {
 public:
  explicit Error(std::string cp932Message) : message_(std::move(cp932Message)) {}

  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }
  const std::vector<std::string>& Context() const { return context_; }

  Error& AddContext(std::string cp932Line) {
    context_.push_back(std::move(cp932Line));
    return *this;
  }

  // The message followed by the context lines, newest last, converted for a terminal.
  std::string Utf8Report() const;

 private:
  std::string message_;
  std::vector<std::string> context_;
};

}  // namespace orin
