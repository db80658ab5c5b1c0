// Exception classes shared by every unit of the library.
#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

namespace vek {

// Base of every exception the library raises on purpose. The message is UTF-8.
class EVEKError : public std::runtime_error {
 public:
  explicit EVEKError(const std::string& msg) : std::runtime_error(msg) {}
  std::string Message() const { return what(); }
};

// A failure of the file system: the operating system's error code and a message naming the file.
class EInOutError : public std::runtime_error {
 public:
  EInOutError(int errorCode, const std::string& msg)
      : std::runtime_error(msg), FErrorCode(errorCode) {}
  int ErrorCode() const { return FErrorCode; }

 private:
  int FErrorCode;
};

}  // namespace vek
