// An opener that records what it was asked to open instead of opening it.
#pragma once

#include <string>
#include <vector>

#include "ads/content/GADNotification.h"
#include "ads/content/GADOpener.h"

class RecordingOpener : public GADOpener {
 public:
  std::vector<std::string> calls;

  // An opening takes the user's gesture, as the real one does once allowed.
  void openNotification(const GADNotification& notification, const UseGesture& useGesture) override {
    if (useGesture && !useGesture()) return;
    calls.push_back("notification " + notification.name());
  }
  void openBrowserToURLSupportedOrientations(const std::optional<platform::URL>& url, int orientations) override {
    calls.push_back("browser " + (url ? url->absoluteString() : std::string("-")) + " " +
                    std::to_string(orientations));
  }
  void openWebAppSupportedOrientations(const platform::URL& url, int orientations) override {
    calls.push_back("webapp " + url.absoluteString() + " " + std::to_string(orientations));
  }
  void openWebAppWithHTMLSupportedOrientations(const std::string& html, int orientations) override {
    calls.push_back("webapp-html " + html + " " + std::to_string(orientations));
  }
  void openApp(const std::optional<platform::URL>& url) override {
    calls.push_back("app " + (url ? url->absoluteString() : std::string("-")));
  }
  void openEmailComposer(const platform::URL& url) override { calls.push_back("mail " + url.absoluteString()); }
};
