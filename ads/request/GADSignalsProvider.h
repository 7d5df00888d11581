// The signals provider behind the four entries the ad client calls: it
// keeps the last request type and the recent touches, and answers short
// opaque texts (a versioned record, enciphered with AES-128-CBC under a key
// derived from the build's location key, in websafe base64 without
// padding) that are valid as they stand in a URL query. Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class GADSignalsProvider {
 public:
  static GADSignalsProvider& shared();
  static void resetForTesting();

  void setRequest(int requestType, const std::string& sdkVersion);
  void recordTouch(int x, int y, int duration);
  // "ms=<text>" for the ad URL.
  std::optional<std::string> requestSignal() const;
  // "sg=<text>" for a click URL with the "ai" value `clickString`.
  std::optional<std::string> clickSignal(std::string_view clickString) const;

  int requestType() const { return requestType_; }
  std::uint32_t touchCount() const { return touchCount_; }

  // The record inside a signal text, for the ad network's side and tests:
  // version 1, kind (1 request, 2 click), request type, touch count, last
  // touch, seconds since 1970, and for clicks the first bytes of the MD5
  // of the click string.
  struct Record {
    std::uint8_t version = 0;
    std::uint8_t kind = 0;
    std::int32_t requestType = 0;
    std::uint32_t touchCount = 0;
    std::int32_t lastX = -1, lastY = -1, lastDuration = -1;
    std::uint32_t seconds = 0;
    std::uint64_t clickHash = 0;
  };
  static std::optional<Record> decodeSignal(std::string_view text);

 private:
  std::optional<std::string> encode(std::uint8_t kind, std::uint64_t clickHash) const;

  int requestType_ = 0;
  std::string sdkVersion_;
  std::uint32_t touchCount_ = 0;
  int lastX_ = -1, lastY_ = -1, lastDuration_ = -1;
};

// The entries. A nonzero answer is success.
void gad_gig(int requestType, const std::string& sdkVersion);
int gad_gmrs(std::string& out);
int gad_gmcs(const std::string& clickString, std::string& out);
void gad_htg(int x, int y, int duration);
