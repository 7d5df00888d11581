// A message from any URL text a page could navigate to, in both grammars:
// never a crash, and for "gmsg" the name is the decoded path less its first
// character and every parameter key is lower case.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ads/content/GADNotification.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const char* prefix : {"", "gmsg://x/", "vaver://"}) {
    const auto url = platform::URL::create(std::string(prefix) + std::string(text));
    if (!url) continue;
    const auto message = GADNotification::notificationFromURL(*url);
    if (!message) continue;
    (void)message->description();
    if (!GADNotification::isGMSGNotificationURL(*url)) continue;
    if (message->name() != url->path().substr(1)) __builtin_trap();
    for (const auto& [key, value] : *message->parameters())
      for (char c : key)
        if (c >= 'A' && c <= 'Z') __builtin_trap();
  }
  return 0;
}
