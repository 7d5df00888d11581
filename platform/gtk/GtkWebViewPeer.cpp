#include "platform/gtk/GtkWebViewPeer.h"

#include <libsoup/soup.h>

#include <cstring>

#include "platform/gtk/GObjectPtr.h"
#include "platform/gtk/GtkDecisionQueue.h"
#include "platform/gtk/GtkWebViewSettings.h"

namespace platform::gtk {

namespace {

// A URL the toolkit hands over from a page: none when the text is no valid
// URL, or longer than any link needs (it is not even read then).
std::optional<URL> pageURL(const char* text) {
  if (!text || std::strlen(text) > WebView::kMaximumURLBytes) return std::nullopt;
  return URL::create(text);
}

using ByteCount = std::shared_ptr<GtkWebViewPeer::NetworkCount>;

void add(const ByteCount& count, std::uint64_t bytes) {
  count->bytes += bytes;
  if (count->grew) count->grew();
}

void freeByteCount(gpointer data, GClosure*) { delete static_cast<ByteCount*>(data); }

void countDataRead(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<ByteCount> count(static_cast<ByteCount*>(data));
  gsize length = 0;
  guchar* bytes = webkit_web_resource_get_data_finish(WEBKIT_WEB_RESOURCE(source), result, &length, nullptr);
  g_free(bytes);
  add(*count, length);
}

// An answer that named no length is counted by what arrived, once it has.
// Reading it back copies it once; only answers without a length pay that.
void countFinishedWithoutLength(WebKitWebResource* resource, gpointer data) {
  webkit_web_resource_get_data(resource, nullptr, countDataRead, new ByteCount(*static_cast<ByteCount*>(data)));
}

// An answer is counted by the length it declares, when its headers arrive:
// a body that trickles or never ends is counted in full at once.
void countResponse(WebKitWebResource* resource, GParamSpec*, gpointer data) {
  WebKitURIResponse* response = webkit_web_resource_get_response(resource);
  if (!response) return;
  const ByteCount& count = *static_cast<ByteCount*>(data);
  if (const guint64 length = webkit_uri_response_get_content_length(response); length > 0) {
    add(count, length);
    return;
  }
  static const char kCountsAtFinish[] = "blorvik-counts-at-finish";
  if (g_object_get_data(G_OBJECT(resource), kCountsAtFinish)) return;
  g_object_set_data(G_OBJECT(resource), kCountsAtFinish, GINT_TO_POINTER(1));
  g_signal_connect_data(resource, "finished", G_CALLBACK(countFinishedWithoutLength), new ByteCount(count),
                        freeByteCount, GConnectFlags(0));
}

}  // namespace

void GtkWebViewPeer::onResourceLoadStarted(WebKitWebView*, WebKitWebResource* resource, WebKitURIRequest*,
                                           gpointer data) {
  auto* self = static_cast<GtkWebViewPeer*>(data);
  g_signal_connect_data(resource, "notify::response", G_CALLBACK(countResponse), new ByteCount(self->networkBytes_),
                        freeByteCount, GConnectFlags(0));
}

GtkWebViewPeer::GtkWebViewPeer(std::weak_ptr<WebViewClient> client, WebProcessGroup group)
    : GtkPeer(GTK_WIDGET(g_object_new(GTK_TYPE_OVERLAY, "accessible-role", GTK_ACCESSIBLE_ROLE_GENERIC, nullptr))),
      webView_(GtkWebViewSettings::makeWebView(group)),
      client_(std::move(client)),
      capabilities_(webView_, group, client_) {
  gtk_overlay_set_child(GTK_OVERLAY(widget()), GTK_WIDGET(webView_));
  GtkWebViewSettings::apply(webView_, group);
  GtkWidget* page = GTK_WIDGET(webView_);
  // Sees every press and release before the page does (capture phase) and
  // passes it on: the only proof of a user's gesture that a page cannot forge.
  GtkEventController* input = gtk_event_controller_legacy_new();
  gtk_event_controller_set_propagation_phase(input, GTK_PHASE_CAPTURE);
  gtk_widget_add_controller(page, input);
  userInput_ = ScopedSignal(input, g_signal_connect(input, "event", G_CALLBACK(onInputEvent), this));
  decidePolicy_ = ScopedSignal(page, g_signal_connect(page, "decide-policy", G_CALLBACK(onDecidePolicy), this));
  loadChanged_ = ScopedSignal(page, g_signal_connect(page, "load-changed", G_CALLBACK(onLoadChanged), this));
  loadFailed_ = ScopedSignal(page, g_signal_connect(page, "load-failed", G_CALLBACK(onLoadFailed), this));
  scriptDialog_ = ScopedSignal(page, g_signal_connect(page, "script-dialog", G_CALLBACK(onScriptDialog), this));
  responsive_ = ScopedSignal(
      page, g_signal_connect(page, "notify::is-web-process-responsive", G_CALLBACK(onResponsiveChanged), this));
  terminated_ =
      ScopedSignal(page, g_signal_connect(page, "web-process-terminated", G_CALLBACK(onWebProcessTerminated), this));
  resourceLoadStarted_ =
      ScopedSignal(page, g_signal_connect(page, "resource-load-started", G_CALLBACK(onResourceLoadStarted), this));
  // WebKit keeps an empty text view of its own, with no size, inside the
  // page's widget. Tab past the page's last link hands it the focus, and
  // then the same Tab back, unhandled: taking it as text, the view would
  // hold the focus for good; passed on, GTK moves to what follows the page.
  for (GtkWidget* child = gtk_widget_get_first_child(page); child; child = gtk_widget_get_next_sibling(child))
    if (GTK_IS_TEXT_VIEW(child)) gtk_text_view_set_accepts_tab(GTK_TEXT_VIEW(child), FALSE);
  // Assistive technologies meet the page as a document named by its title
  // (WebKit leaves the widget a filler named by its class).
  g_object_set(page, "accessible-role", GTK_ACCESSIBLE_ROLE_DOCUMENT, nullptr);
  onTitleChanged(webView_, nullptr, nullptr);
  titleChanged_ = ScopedSignal(page, g_signal_connect(page, "notify::title", G_CALLBACK(onTitleChanged), this));
  WebKitBackForwardList* history = webkit_web_view_get_back_forward_list(WEBKIT_WEB_VIEW(page));
  historyChanged_ = ScopedSignal(
      history, g_signal_connect(history, "changed",
                                G_CALLBACK(+[](WebKitBackForwardList*, WebKitBackForwardListItem*, gpointer, gpointer self) {
                                  auto* peer = static_cast<GtkWebViewPeer*>(self);
                                  if (auto client = peer->client_.lock()) client->peerDidChangeHistory();
                                }),
                                this));
}

void GtkWebViewPeer::addChild(ViewPeer& child, const Rect& frame) {
  GtkWidget* widget = childWidget(child);
  if (!widget) return;
  detachFromParent(widget);
  gtk_widget_set_halign(widget, GTK_ALIGN_START);
  gtk_widget_set_valign(widget, GTK_ALIGN_START);
  gtk_widget_set_margin_start(widget, static_cast<int>(frame.x()));
  gtk_widget_set_margin_top(widget, static_cast<int>(frame.y()));
  gtk_overlay_add_overlay(GTK_OVERLAY(this->widget()), widget);
}

GtkWebViewPeer::~GtkWebViewPeer() {
  // A question still before the person is answered as dismissed while
  // its web view is still there.
  pageDialog_.reset();
  // The view's resources may report on: nobody is told any more.
  networkBytes_->grew = nullptr;
  g_cancellable_cancel(scripts_);
  g_object_unref(scripts_);
}

// Activation as browsers give it: a press and its release (a link follows
// the release, so a press held down longer than an activation lasts is a
// click all the same), or Enter or Space, which follow the focused link or
// press the focused button. Other keys activate nothing: a page's key
// handler would make clicks of a user's typing.
gboolean GtkWebViewPeer::onInputEvent(GtkEventControllerLegacy*, GdkEvent* event, gpointer data) {
  auto* self = static_cast<GtkWebViewPeer*>(data);
  bool activates = false;
  switch (gdk_event_get_event_type(event)) {
    case GDK_BUTTON_PRESS:
    case GDK_TOUCH_BEGIN:
      self->pressed_ = true;
      break;
    case GDK_BUTTON_RELEASE:
    case GDK_TOUCH_END:
      activates = self->pressed_;
      self->pressed_ = false;
      break;
    case GDK_TOUCH_CANCEL:
      self->pressed_ = false;
      break;
    case GDK_KEY_PRESS:
      switch (gdk_key_event_get_keyval(event)) {
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter:
        case GDK_KEY_space:
        case GDK_KEY_KP_Space:
          activates = true;
          break;
        default:
          break;
      }
      break;
    default:
      break;
  }
  if (activates) {
    if (auto client = self->client_.lock()) client->peerDidReceiveUserActivation();
  }
  return FALSE;  // the page gets the event as well
}

// An answer that would become a file, for any frame, is the page's
// capabilities' to decide (never WebKit's own download). An allowed load's
// answer for the main frame's document: the client may still keep the page
// shown (WebKit does not say, when it first asks, which frame a navigation
// is for). Other answers take WebKit's course.
gboolean GtkWebViewPeer::onDecideResponse(WebKitPolicyDecision* decision, GtkWebViewPeer* self) {
  auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
  if (self->capabilities_.decideResponse(response)) return TRUE;
  if (!webkit_response_policy_decision_is_main_frame_main_resource(response)) return FALSE;
  auto client = self->client_.lock();
  const char* uri = webkit_uri_request_get_uri(webkit_response_policy_decision_get_request(response));
  const auto url = pageURL(uri);
  if (!client || client->peerShouldCommitMainFrameLoad(url)) return FALSE;
  webkit_policy_decision_ignore(decision);
  return TRUE;
}

// A page decides where it navigates; the client answers for every
// navigation of every frame, new windows included, in the decision queue's
// time: the page's navigation waits for the answer.
gboolean GtkWebViewPeer::onDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                        WebKitPolicyDecisionType type, gpointer data) {
  auto* self = static_cast<GtkWebViewPeer*>(data);
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return onDecideResponse(decision, self);
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
    return FALSE;
  auto page = GObjectPtr<WebKitWebView>::retain(view);
  auto asked = GObjectPtr<WebKitPolicyDecision>::retain(decision);
  auto client = self->client_.lock();
  const std::uint64_t generation = client ? client->loadGeneration() : 0;
  GtkDecisionQueue::shared().submit(
      view,
      [page, asked, type, generation, weak = self->client_] {
        auto client = weak.lock();
        // Asked by a page the client has replaced since: nothing of it goes on.
        if (client && client->loadGeneration() != generation) client.reset();
        decideNavigation(page.get(), asked.get(), type, client);
      },
      [asked] { webkit_policy_decision_ignore(asked.get()); });
  return TRUE;
}

// The request's text comes from the page: one that is no valid URL, or
// longer than any link needs, is never loaded (nor read).
void GtkWebViewPeer::decideNavigation(WebKitWebView* view, WebKitPolicyDecision* decision,
                                      WebKitPolicyDecisionType type, std::shared_ptr<WebViewClient> client) {
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  WebKitURIRequest* asked = webkit_navigation_action_get_request(action);
  const auto url = client ? pageURL(webkit_uri_request_get_uri(asked)) : std::nullopt;
  if (!url) {
    webkit_policy_decision_ignore(decision);
    return;
  }
  URLRequest request(*url);
  if (SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(asked)) {
    SoupMessageHeadersIter it;
    soup_message_headers_iter_init(&it, headers);
    const char *name = nullptr, *value = nullptr;
    while (soup_message_headers_iter_next(&it, &name, &value)) request.setValueForHTTPHeaderField(value, name);
  }
  // WebKit adds its User-Agent after the decision: name it here, as the
  // request will carry it.
  if (!request.valueForHTTPHeaderField("User-Agent")) {
    WebKitSettings* settings = webkit_web_view_get_settings(view);
    if (const char* agent = webkit_settings_get_user_agent(settings); agent && *agent)
      request.setValueForHTTPHeaderField(agent, "User-Agent");
  }
  if (const char* method = webkit_uri_request_get_http_method(asked)) request.setMethod(method);
  const auto kind = static_cast<NavigationType>(webkit_navigation_action_get_navigation_type(action));
  const NavigationAction facts{.userGesture = webkit_navigation_action_is_user_gesture(action) != FALSE,
                               .newWindow = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION};
  if (!client->peerShouldStartLoad(request, kind, facts)) {
    webkit_policy_decision_ignore(decision);
    return;
  }
  if (facts.newWindow) {
    // There are no other windows: what a page would open in one (a link
    // with a target, window.open) opens here.
    webkit_policy_decision_ignore(decision);
    webkit_web_view_load_request(view, asked);
    return;
  }
  // WebKit's own autoplay policy, sound only after a gesture, is set per
  // page: one whose media needs no gesture may play its sound as well.
  if (!webkit_settings_get_media_playback_requires_user_gesture(webkit_web_view_get_settings(view))) {
    WebKitWebsitePolicies* policies = webkit_website_policies_new_with_policies("autoplay", WEBKIT_AUTOPLAY_ALLOW, nullptr);
    webkit_policy_decision_use_with_policies(decision, policies);
    g_object_unref(policies);
    return;
  }
  webkit_policy_decision_use(decision);
}

void GtkWebViewPeer::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
  auto* self = static_cast<GtkWebViewPeer*>(data);
  if (event == WEBKIT_LOAD_STARTED) self->failed_ = false;
  // Another page replaced the one that asked: its question goes with it.
  if (event == WEBKIT_LOAD_COMMITTED) self->pageDialog_.reset();
  if (event != WEBKIT_LOAD_STARTED && event != WEBKIT_LOAD_FINISHED) return;
  const bool failed = self->failed_;
  auto client = self->client_.lock();
  if (!client) return;
  if (event == WEBKIT_LOAD_STARTED)
    client->peerDidStartLoad();
  else if (!failed)
    client->peerDidFinishLoad();
}

gboolean GtkWebViewPeer::onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error, gpointer data) {
  auto* self = static_cast<GtkWebViewPeer*>(data);
  self->failed_ = true;
  // Only a load that had started fails here (a navigation refused before it
  // starts makes no load events); one the client refused at a later hop,
  // a redirect or its answer, ended all the same, and the client hears so.
  auto client = self->client_.lock();
  if (client) client->peerDidFailLoad(Error{g_quark_to_string(error->domain), error->code, error->message});
  return TRUE;  // no error page in an ad's view
}

// The client decides whether a page's dialog is shown. Shown, the
// application asks the person in a window of its own (GtkPageDialog: WebKit's
// own would be drawn inside the web view, cut to its width) and WebKit waits
// for the answer. Not shown, the page gets a dismissed dialog's answer at
// once. While the person has one question before them the page's script
// waits for its answer; another that comes meanwhile (a leave-page question
// for a load the client asked for) is answered as dismissed.
gboolean GtkWebViewPeer::onScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer data) {
  auto* self = static_cast<GtkWebViewPeer*>(data);
  PageDialog kind = PageDialog::Alert;
  switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT: kind = PageDialog::Alert; break;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM: kind = PageDialog::Confirm; break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT: kind = PageDialog::Prompt; break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM: kind = PageDialog::BeforeUnload; break;
  }
  const char* message = webkit_script_dialog_get_message(dialog);
  const bool asking = self->pageDialog_ && self->pageDialog_->isWaiting();
  auto client = self->client_.lock();
  if (!asking && client && client->peerShouldShowPageDialog(kind, message ? message : "")) {
    self->pageDialog_ = GtkPageDialog::show(view, dialog);
    return TRUE;
  }
  GtkPageDialog::answerDismissed(dialog);
  return TRUE;
}

void GtkWebViewPeer::onResponsiveChanged(WebKitWebView* view, GParamSpec*, gpointer data) {
  if (webkit_web_view_get_is_web_process_responsive(view)) return;
  if (auto client = static_cast<GtkWebViewPeer*>(data)->client_.lock()) client->peerWebProcessDidBecomeUnresponsive();
}

void GtkWebViewPeer::onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer data) {
  auto* self = static_cast<GtkWebViewPeer*>(data);
  self->pageDialog_.reset();  // nobody is left to hear the answer
  auto client = self->client_.lock();
  if (!client) return;
  switch (reason) {
    case WEBKIT_WEB_PROCESS_CRASHED: client->peerWebProcessDidTerminate(WebProcessTermination::Crashed); break;
    case WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT:
      client->peerWebProcessDidTerminate(WebProcessTermination::ExceededMemoryLimit);
      break;
    case WEBKIT_WEB_PROCESS_TERMINATED_BY_API:
      client->peerWebProcessDidTerminate(WebProcessTermination::Terminated);
      break;
  }
}

void GtkWebViewPeer::setBackgroundColor(const Color& color) {
  const GdkRGBA rgba{static_cast<float>(color.red), static_cast<float>(color.green), static_cast<float>(color.blue),
                     static_cast<float>(color.alpha)};
  webkit_web_view_set_background_color(webView(), &rgba);
}

void GtkWebViewPeer::loadHTMLString(const std::string& html, const std::optional<URL>& baseURL) {
  webkit_web_view_load_html(webView(), html.c_str(), baseURL ? baseURL->absoluteString().c_str() : nullptr);
}

void GtkWebViewPeer::loadRequest(const URLRequest& request) {
  WebKitURIRequest* wanted = webkit_uri_request_new(request.url().absoluteString().c_str());
  if (SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(wanted)) {
    for (const auto& [name, value] : request.allHTTPHeaderFields())
      soup_message_headers_replace(headers, name.c_str(), value.c_str());
  }
  webkit_web_view_load_request(webView(), wanted);
  g_object_unref(wanted);
}

// The value crosses from the page's process already; what is read of it
// here is bounded: a string past the bound is refused before it is
// converted (its length is asked on the script engine's side), numbers and
// booleans are short, and anything else (an object, an array, a function,
// whose text a page's own getters would write) is no value.
std::optional<std::string> GtkWebViewPeer::scriptResultText(JSCValue* value) {
  if (jsc_value_is_undefined(value) || jsc_value_is_null(value)) return std::string();
  if (jsc_value_is_string(value)) {
    JSCValue* length = jsc_value_object_get_property(value, "length");
    const bool fits = length && jsc_value_is_number(length) &&
                      jsc_value_to_double(length) <= static_cast<double>(kMaximumScriptResultLength);
    if (length) g_object_unref(length);
    if (!fits) return std::nullopt;
  } else if (!jsc_value_is_number(value) && !jsc_value_is_boolean(value)) {
    return std::string();
  }
  char* printed = jsc_value_to_string(value);
  std::string text = printed ? printed : "";
  g_free(printed);
  return text;
}

void GtkWebViewPeer::evaluateJavaScript(const std::string& script, ScriptResult done) {
  // Nobody asked for the result: WebKit is given nowhere to deliver it.
  if (!done) {
    webkit_web_view_evaluate_javascript(webView(), script.c_str(), static_cast<gssize>(script.size()), nullptr,
                                        nullptr, nullptr, nullptr, nullptr);
    return;
  }
  auto* pending = new ScriptResult(std::move(done));
  webkit_web_view_evaluate_javascript(
      webView(), script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr, scripts_,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<ScriptResult> callback(static_cast<ScriptResult*>(data));
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
        // Cancelled: the peer has gone, and with it whoever asked.
        if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
          g_error_free(error);
          return;
        }
        std::optional<std::string> text;
        if (value) {
          text = scriptResultText(value);
          g_object_unref(value);
        }
        if (error) g_error_free(error);
        (*callback)(std::move(text));
      },
      pending);
}

// In a world of its own, so the page's scripts see nothing of it.
void GtkWebViewPeer::probe(std::function<void()> answered) {
  static constexpr char kProbe[] = "0";
  auto* pending = new std::function<void()>(std::move(answered));
  webkit_web_view_evaluate_javascript(
      webView(), kProbe, -1, "blorvik-probe", nullptr, scripts_,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<std::function<void()>> callback(static_cast<std::function<void()>*>(data));
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
        if (value) g_object_unref(value);
        const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
        if (error) g_error_free(error);
        if (!cancelled) (*callback)();
      },
      pending);
}

// The web view's own content manager (GtkWebViewSettings gives each one):
// the script reaches no other web view of its process group.
void GtkWebViewPeer::addMainFrameScript(const std::string& source) {
  WebKitUserScript* script = webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                                    WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(webkit_web_view_get_user_content_manager(webView()), script);
  webkit_user_script_unref(script);
}

void GtkWebViewPeer::blockScriptsNamed(const std::string& fileName) {
  GtkWebViewSettings::blockScriptsNamed(webkit_web_view_get_user_content_manager(webView()), fileName);
}

void GtkWebViewPeer::goBack() { webkit_web_view_go_back(webView()); }
void GtkWebViewPeer::goForward() { webkit_web_view_go_forward(webView()); }
void GtkWebViewPeer::reload() { webkit_web_view_reload(webView()); }
void GtkWebViewPeer::stopLoading() { webkit_web_view_stop_loading(webView()); }
void GtkWebViewPeer::terminateWebProcess() { webkit_web_view_terminate_web_process(webView()); }
// Each web view has settings of its own (GtkWebViewSettings::makeWebView):
// this never reaches another of its group.
void GtkWebViewPeer::setMediaPlaybackRequiresUserAction(bool required) {
  webkit_settings_set_media_playback_requires_user_gesture(webkit_web_view_get_settings(webView()), required);
}
bool GtkWebViewPeer::canGoBack() const { return webkit_web_view_can_go_back(webView()); }
bool GtkWebViewPeer::canGoForward() const { return webkit_web_view_can_go_forward(webView()); }
bool GtkWebViewPeer::isLoading() const { return webkit_web_view_is_loading(webView()); }

std::string GtkWebViewPeer::title() const {
  const char* title = webkit_web_view_get_title(webView());
  return title ? title : "";
}

// Null `data`: names the new page before anyone listens.
void GtkWebViewPeer::onTitleChanged(WebKitWebView* view, GParamSpec*, gpointer data) {
  const char* raw = webkit_web_view_get_title(view);
  const std::string title = WebView::boundedTitle(raw ? raw : "");
  gtk_accessible_update_property(GTK_ACCESSIBLE(view), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                 title.empty() ? "Web page" : title.c_str(), -1);
  auto* self = static_cast<GtkWebViewPeer*>(data);
  if (!self) return;
  if (auto client = self->client_.lock()) client->peerDidChangeTitle();
}

std::optional<URL> GtkWebViewPeer::currentURL() const {
  const char* uri = webkit_web_view_get_uri(webView());
  return uri ? URL::create(uri) : std::nullopt;
}

}  // namespace platform::gtk
