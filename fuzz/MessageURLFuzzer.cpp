// A message from any URL text a page could navigate to, in both grammars:
// never a crash, and for "gmsg" the name is the decoded path less its first
// character and every parameter key is lower case. And URLs as a web view
// hands them over: every text of its alphabet (printable ASCII but for the
// space, '"', '<' and '>') after a sound "gmsg://x/" is taken, byte for byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ads/content/GADNotification.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  bool webViewAlphabet = true;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7f || c == '"' || c == '<' || c == '>') webViewAlphabet = false;
  }
  for (const char* prefix : {"", "gmsg://x/", "vaver://"}) {
    const std::string full = std::string(prefix) + std::string(text);
    const auto url = platform::URL::create(full);
    if (!url && webViewAlphabet && std::string_view(prefix) == "gmsg://x/") __builtin_trap();
    if (!url) continue;
    if (url->absoluteString() != full) __builtin_trap();
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
