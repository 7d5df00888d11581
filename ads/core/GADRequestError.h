// The error of every failed ad attempt: domain "com.rezido.ads", a code and
// user info holding the code's message (and, for code 0, the request's
// parameters).
#pragma once

#include <string>

#include "platform/Value.h"

class GADRequest;

inline constexpr const char* kGADErrorDomain = "com.rezido.ads";
inline constexpr const char* kGADLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* kGADLocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";

enum GADErrorCode : long {
  kGADErrorInvalidRequest = 0,
  kGADErrorNoFill = 1,
  kGADErrorNetworkError = 2,
  kGADErrorServerError = 3,
  kGADErrorOSVersionTooLow = 4,
  kGADErrorTimeout = 5,
};

class GADRequestError {
 public:
  // `request` may be null. For code 0 every entry of its parameters is
  // added to the user info (which builds them, with what that consumes).
  GADRequestError(long code, const GADRequest* request);
  static GADRequestError errorWithCode(long code, const GADRequest* request) {
    return GADRequestError(code, request);
  }

  const std::string& domain() const { return domain_; }
  long code() const { return code_; }
  const platform::Dictionary& userInfo() const { return userInfo_; }
  std::string localizedDescription() const;

  // The message of `code`: "Request Error: " and the code's text; any code
  // not listed has the text of code 0. Code 4 names the OS version now.
  static std::string localizedStringForErrorCode(long code);

 private:
  std::string domain_ = kGADErrorDomain;
  long code_;
  platform::Dictionary userInfo_;
};
