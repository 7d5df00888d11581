// Carries out what an ad asks to be opened: the in-app browser, a
// full-screen web application (from a URL or from HTML), the mail composer
// for a "mailto" URL, or another application for any other URL. Each web
// view delegate owns one and sets its view controller before every
// decision. Main thread only.
//
// The operations are virtual so that tests can record what a page asked
// for; the product uses this class as it is.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/content/GADOpeningPage.h"
#include "ads/fullscreen/GADViewController.h"
#include "platform/MailComposer.h"
#include "platform/URL.h"

namespace platform {
class ViewController;
class WebView;
}  // namespace platform

class GADDelegateManager;
class GADNotification;
class GADWebAppViewController;

// Which orientations a screen opened for an ad may take.
enum GADOrientationCode : int {
  kGADOrientationAny = 1,
  kGADOrientationPortrait = 2,
  kGADOrientationLandscape = 3,
};

class GADOpener : public platform::MailComposerDelegate, public std::enable_shared_from_this<GADOpener> {
 public:
  // Made with std::make_shared: deferred openings hold the opener.
  GADOpener() = default;
  virtual ~GADOpener() = default;
  GADOpener(const GADOpener&) = delete;
  GADOpener& operator=(const GADOpener&) = delete;

  // Takes the user's gesture for an opening: false refuses it.
  using UseGesture = std::function<bool()>;
  // Carries out an "open" message. Whether the opening would be allowed
  // (a screen admitted, an application that may and can open the URL) is
  // asked first; then `useGesture`, when given, takes the user's gesture;
  // only then is the click counted and the opening made.
  virtual void openNotification(const GADNotification& notification, const UseGesture& useGesture = {});
  // Whether a screen of `kind` would be presented over this opener's view
  // controller now; refused and logged otherwise.
  bool mayPresentScreen(GADViewController::Kind kind) const;
  // Whether openApp would open `url` now: mail with a screen to show the
  // composer over; any other scheme on the allow-list that an application
  // of the desktop opens. A refusal is logged.
  bool mayOpenApp(const platform::URL& url) const;
  virtual void openBrowserToURLSupportedOrientations(const std::optional<platform::URL>& url, int orientations);
  virtual void openWebAppSupportedOrientations(const platform::URL& url, int orientations);
  virtual void openWebAppWithHTMLSupportedOrientations(const std::string& html, int orientations);
  // A web application screen prepared with the code, this opener's opening
  // web view and delegate manager.
  std::shared_ptr<GADWebAppViewController> webAppOrientations(int orientations);
  // Hands `url` to the desktop, after giving trackings in flight a short
  // chance to finish; nullopt does nothing, and so does a scheme that may
  // not leave the application (GADContentPolicy's list), refused and logged,
  // or one no application of the desktop opens (logged; no willLeave).
  // A "mailto" URL opens our composer instead (openEmailComposer).
  virtual void openApp(const std::optional<platform::URL>& url);
  // Presents the mail composer filled from the URL; where the desktop has
  // no mail client, a notice says so instead.
  virtual void openEmailComposer(const platform::URL& url);
  void mailComposeControllerDidFinishWithResult(platform::MailComposer& composer, platform::MailComposeResult result,
                                                const std::optional<platform::Error>& error) override;
  static constexpr const char* kNoMailClientNotice =
      "This ad wants to write an email, but no mail application is set up on this computer.";

  // What a "mailto" URL fills in: the text before "?" is the one
  // to-recipient as written; "cc" and "bcc" are split at ","; keys match
  // in any case.
  using MailFields = platform::MailFields;
  static MailFields mailFieldsFromURL(const platform::URL& url);
  // "p" portrait, "l" landscape, anything else any.
  static int orientationCodeFromText(const std::string* text);

  const std::shared_ptr<GADDelegateManager>& delegateManager() const { return delegateManager_; }
  void setDelegateManager(std::shared_ptr<GADDelegateManager> manager) { delegateManager_ = std::move(manager); }
  // Not retained.
  platform::ViewController* viewController() const;
  void setViewController(platform::ViewController* controller);
  const std::optional<platform::URL>& referringURL() const { return referringURL_; }
  void setReferringURL(std::optional<platform::URL> url) { referringURL_ = std::move(url); }
  // Not retained: the page the web view shows when it is set, null once
  // the web view has loaded another (GADOpeningPage).
  platform::WebView* openingWebView() const;
  void setOpeningWebView(platform::WebView* webView);

  // The deferrals of openApp in a row, shared by every opener.
  static int repeatCountForTesting();
  static void resetRepeatCountForTesting();

  static constexpr double kAppOpenRetrySeconds = 0.3;
  static constexpr int kAppOpenMaxRetries = 3;

 private:
  std::shared_ptr<GADDelegateManager> delegateManager_;
  std::weak_ptr<platform::ViewController> viewController_;
  std::optional<platform::URL> referringURL_;
  GADOpeningPage openingPage_;
};
