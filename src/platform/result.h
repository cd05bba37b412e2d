// How a call that can fail says so: it returns a Status (nothing to give
// back) or a Result<T> (a value), and a failure carries its reason as words
// for a person, ready to be shown or put after "Cannot ...: ". A failure is
// made with Failure{"why"}; success is a default Status or the value itself.
#pragma once

#include <cstring>
#include <string>
#include <utility>
#include <variant>

namespace dp {

struct Failure {
  std::string why;
};

// A failure in strerror's words for an error number.
inline Failure ErrnoFailure(int err) {
  char buf[256];
  return Failure{strerror_r(err, buf, sizeof buf)};
}

class Status {
 public:
  Status() = default;
  Status(Failure failure) : why_(std::move(failure.why)), failed_(true) {}

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  // Empty on success.
  const std::string& error() const { return why_; }

 private:
  std::string why_;
  bool failed_ = false;
};

template <typename T>
class Result {
 public:
  Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure failure) : v_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  // Only on success.
  T& value() { return std::get<0>(v_); }
  const T& value() const { return std::get<0>(v_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  // Empty on success.
  const std::string& error() const {
    static const std::string kNone;
    return ok() ? kNone : std::get<1>(v_).why;
  }
  // The failure alone, to pass on from a function of another result type.
  Status status() const { return ok() ? Status() : Status(std::get<1>(v_)); }

 private:
  std::variant<T, Failure> v_;
};

}  // namespace dp
