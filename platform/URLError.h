// The transport's error domain and codes (those of NSURLErrorDomain that it
// reports), apart from the connection so that its pure parts can name them.
#pragma once

namespace platform {

inline constexpr const char* kURLErrorDomain = "NSURLErrorDomain";
enum URLErrorCode : long {
  kURLErrorUnknown = -1,
  kURLErrorBadURL = -1000,
  kURLErrorTimedOut = -1001,
  kURLErrorUnsupportedURL = -1002,
  kURLErrorCannotFindHost = -1003,
  kURLErrorCannotConnectToHost = -1004,
  kURLErrorNetworkConnectionLost = -1005,
  kURLErrorHTTPTooManyRedirects = -1007,
  kURLErrorCannotDecodeContentData = -1016,
  kURLErrorCannotParseResponse = -1017,
  kURLErrorDataLengthExceedsMaximum = -1103,
  kURLErrorSecureConnectionFailed = -1200,
};

}  // namespace platform
