// One named interval on the monotonic clock, with extra values that travel
// with it. Its record form ("category", "start", "end", "userData", and the
// "boot" the clock counted from) is how it is copied and stored. Read back
// after the machine restarted, an ended interval keeps its length and a
// running one starts again: the clock's values of another boot mean
// nothing now.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Value.h"

inline constexpr const char* kGADTimingCategoryKey = "category";
inline constexpr const char* kGADTimingStartKey = "start";
inline constexpr const char* kGADTimingEndKey = "end";
inline constexpr const char* kGADTimingKeyUserDataKey = "userData";
// The boot whose monotonic clock the start and end count (see
// platform::Clock::bootIdentifier); absent in records kept before it was.
inline constexpr const char* kGADTimingBootKey = "boot";

class GADTiming {
 public:
  explicit GADTiming(std::string category) : category_(std::move(category)) {}
  // Null when the record has no text category.
  static std::shared_ptr<GADTiming> createWithDictionaryRepresentation(const platform::Dictionary& record);

  // The monotonic clock in seconds.
  static double counter();

  const std::string& category() const { return category_; }
  double startSeconds() const { return startSeconds_; }
  double endSeconds() const { return endSeconds_; }

  void start();
  // Moves the end to now when started; otherwise nothing.
  void end();
  void reset() { startSeconds_ = endSeconds_ = 0; }
  bool isActive() const { return startSeconds_ > 0 && endSeconds_ == 0; }
  // To the end, or to now while running; 0 when never started.
  std::uint32_t elapsedMilliseconds() const;
  std::string elapsedMillisecondsString() const;

  // A null value is ignored.
  void setValueForKey(const platform::Value* value, const std::string& key);
  const platform::Value* valueForKey(const std::string& key) const;
  void removeValueForKey(const std::string& key);
  platform::Dictionary keysAndValues() const { return userData_ ? *userData_ : platform::Dictionary(); }

  platform::Dictionary dictionaryRepresentation() const;
  std::shared_ptr<GADTiming> copy() const;
  std::string description() const;

 private:
  std::string category_;
  double startSeconds_ = 0;
  double endSeconds_ = 0;
  std::optional<platform::Dictionary> userData_;
};
