// An ad message: a name and text parameters, made from a message URL that a
// page navigated to. Two grammars: "gmsg://<any host>/<name>?<query>" and
// the older "vaver://<launch|closecanvas|log>?<query>".
//
// Page content is untrusted: a message is made from any URL text a page can
// write without failing outward. Its name and values are data only; nothing
// here runs them, and consumers compare names exactly.
#pragma once

#include <optional>
#include <string>

#include "platform/URL.h"
#include "platform/Value.h"

inline constexpr const char* kURLNotificationScheme = "gmsg";
inline constexpr const char* kURLVaVerNotificationScheme = "vaver";
inline constexpr const char* kURLKey = "url";
inline constexpr const char* kObjectKey = "object";
inline constexpr const char* kJSReceiveMessageMethod = "ZOVO_ReceiveMessage";

class GADNotification {
 public:
  // The scheme as written, compared exactly: "GMSG" is no message scheme.
  static bool isNotificationURL(const platform::URL& url);
  static bool isGMSGNotificationURL(const platform::URL& url);
  static bool isVaVerNotificationURL(const platform::URL& url);
  // The message of `url`; nullopt for a URL that gives none.
  static std::optional<GADNotification> notificationFromURL(const platform::URL& url);
  // Whether the URL's message is "close", read without its parameters.
  static bool isCloseURL(const platform::URL& url);

  GADNotification(std::string name, std::optional<platform::Dictionary> parameters)
      : name_(std::move(name)), parameters_(std::move(parameters)) {}

  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  // Absent for messages that carry none ("close" of the older grammar).
  const std::optional<platform::Dictionary>& parameters() const { return parameters_; }
  void setParameters(std::optional<platform::Dictionary> parameters) { parameters_ = std::move(parameters); }
  std::string description() const;

 private:
  std::string name_;
  std::optional<platform::Dictionary> parameters_;
};
