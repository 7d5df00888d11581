#include "ads/content/GADMRAIDBridge.h"

#include <vector>

#include "ads/core/GADMacros.h"
#include "ads/request/GADRequest.h"
#include "platform/Application.h"
#include "platform/Screen.h"
#include "platform/ViewController.h"
#include "platform/WebView.h"
#include "platform/Window.h"

namespace {

// The page's side. Every page gets MRAID_ENV and the receiver of our
// updates; window.mraid appears only when the page asks for "mraid.js".
// What the page reads is answered from the last update, at once (the
// interface's getters are synchronous); what it asks for goes out as a
// message in a hidden frame, several in one turn as well as one. What the
// page's later scripts may redefine is taken first.
constexpr const char* kPageScript = R"JS(
var D=Object.defineProperty,F=Object.freeze,J=JSON.stringify,later=setTimeout,doc=document,
  make=doc.createElement.bind(doc),enc=encodeURIComponent;
var st={state:'loading',viewable:false,exposure:0,visible:null,ad:{x:0,y:0,width:0,height:0},
  max:{width:0,height:0},screen:{width:0,height:0}};
var first=null,listeners={},installed=false,ready=false;
var kinds=['ready','error','stateChange','sizeChange','exposureChange','viewableChange','audioVolumeChange'];
var features={sms:true,tel:true,calendar:false,storePicture:false,inlineVideo:true,location:false,vpaid:false};
var expandProperties={width:-1,height:-1,useCustomClose:false,isModal:true};
var orientationProperties={allowOrientationChange:true,forceOrientation:'none'},resizeProperties=null;
function fire(name,args){var l=listeners[name];if(!l)return;l=l.slice();
  for(var i=0;i<l.length;i++){try{l[i].apply(null,args);}catch(e){}}}
function fail(message,action){fire('error',[message,action]);}
function send(call,parameters){var u='gmsg://mraid/mraid?call='+enc(call);
  for(var k in parameters)u+='&'+k+'='+enc(String(parameters[k]));
  var f=make('iframe');f.style.display='none';f.src=u;(doc.body||doc.documentElement).appendChild(f);
  later(function(){f.remove();},0);}
function rect(r){return r?{x:r.x,y:r.y,width:r.width,height:r.height}:null;}
function size(s){return {width:s.width,height:s.height};}
function exposure(){fire('exposureChange',[st.exposure,rect(st.visible),[]]);}
function becomeReady(){if(ready||!installed||st.state==='loading')return;ready=true;
  fire('ready',[]);if(st.viewable)fire('viewableChange',[true]);exposure();}
function receive(name,d){
  if(name==='error'){if(installed)fail(String(d.message),String(d.action));return;}
  if(name!=='update')return;
  var was={state:st.state,viewable:st.viewable,exposure:st.exposure,visible:J(st.visible),w:st.ad.width,h:st.ad.height};
  st.state=d.state;st.viewable=!!d.viewable;st.exposure=+d.exposedPercentage;st.visible=d.visibleRectangle||null;
  st.ad=d.ad;st.max=d.maxSize;st.screen=d.screenSize;if(!first&&st.state!=='loading')first=rect(st.ad);
  if(!ready){becomeReady();return;}
  if(st.state!==was.state)fire('stateChange',[st.state]);
  if(st.ad.width!==was.w||st.ad.height!==was.h)fire('sizeChange',[st.ad.width,st.ad.height]);
  if(st.viewable!==was.viewable)fire('viewableChange',[st.viewable]);
  if(st.exposure!==was.exposure||J(st.visible)!==was.visible)exposure();}
function copy(o){var c={};for(var k in o)c[k]=o[k];return c;}
var m;
function install(){if(installed)return m;installed=true;
  m={
    getVersion:function(){return VERSION;},
    addEventListener:function(name,f){if(kinds.indexOf(name)<0||typeof f!=='function'){
        fail('unknown event or no listener','addEventListener');return;}
      var l=listeners[name]||(listeners[name]=[]);if(l.indexOf(f)<0)l.push(f);},
    removeEventListener:function(name,f){var l=listeners[name];if(!l)return;
      if(f===undefined){delete listeners[name];return;}var i=l.indexOf(f);if(i>=0)l.splice(i,1);},
    getState:function(){return st.state;},
    getPlacementType:function(){return 'inline';},
    isViewable:function(){return st.viewable;},
    getMaxSize:function(){return size(st.max);},
    getScreenSize:function(){return size(st.screen);},
    getDefaultPosition:function(){return rect(first||st.ad);},
    getCurrentPosition:function(){return rect(st.ad);},
    getCurrentAppOrientation:function(){return {orientation:'portrait',locked:true};},
    getLocation:function(){return -1;},
    supports:function(feature){return features[feature]===true;},
    useCustomClose:function(){},
    getExpandProperties:function(){return copy(expandProperties);},
    setExpandProperties:function(p){if(p&&typeof p.isModal!=='undefined')expandProperties.isModal=true;},
    getOrientationProperties:function(){return copy(orientationProperties);},
    setOrientationProperties:function(p){if(!p)return;
      if(typeof p.allowOrientationChange==='boolean')orientationProperties.allowOrientationChange=p.allowOrientationChange;
      if(['portrait','landscape','none'].indexOf(p.forceOrientation)>=0)orientationProperties.forceOrientation=p.forceOrientation;},
    open:function(url){if(typeof url!=='string'||!url){fail('no URL to open','open');return;}send('open',{url:url});},
    close:function(){send('close');},
    unload:function(){send('unload');},
    getResizeProperties:function(){return resizeProperties?copy(resizeProperties):undefined;},
    setResizeProperties:function(p){var ok=p&&['width','height','offsetX','offsetY'].every(function(k){
        return typeof p[k]==='number'&&isFinite(p[k]);});
      if(!ok||p.width<50||p.height<50||(p.allowOffscreen!==undefined&&typeof p.allowOffscreen!=='boolean')){
        fail('width, height, offsetX and offsetY are numbers; the size at least 50 x 50','setResizeProperties');return;}
      resizeProperties={width:p.width,height:p.height,offsetX:p.offsetX,offsetY:p.offsetY,
        allowOffscreen:p.allowOffscreen!==false};},
    resize:function(){if(!resizeProperties){fail('no resize properties set','resize');return;}
      if(st.state!=='default'&&st.state!=='resized'){fail('not in the default or resized state','resize');return;}
      send('resize',resizeProperties);},
    expand:function(url){if(st.state!=='default'&&st.state!=='resized'){fail('not in the default state','expand');return;}
      if(url!==undefined&&(typeof url!=='string'||!url)){fail('no page to expand to','expand');return;}
      send('expand',url===undefined?{}:{url:url});},
    playVideo:function(url){if(typeof url!=='string'||!url){fail('no video to play','playVideo');return;}
      send('playVideo',{url:url});}
  };
  D(window,'mraid',{value:F(m),enumerable:true});
  send('loaded');later(becomeReady,0);return m;}
// The script's element is in the document before its load fails, and the
// page's next script may run before that failure is told: the first look
// at window.mraid once the page has asked for the script installs it.
var scripts=doc.getElementsByTagName('script');
function asked(){for(var i=0;i<scripts.length;i++){var s=scripts[i].src;
  if(s&&s.replace(/[?#].*$/,'').split('/').pop()===NAME)return true;}return false;}
D(window,'mraid',{configurable:true,get:function(){return asked()?install():undefined;}});
D(window,'ZOVO_MRAIDEvent',{value:receive});
D(window,'ZOVO_MRAIDInstall',{value:install});
)JS";

std::string quoted(const std::string& text) {
  const platform::Value array(platform::Value::Array{platform::Value(text)});
  return GADMacros::jsonify(&array).value_or("['']") + "[0]";
}

platform::Dictionary rectangle(const platform::Rect& r) {
  return {{"x", r.x()}, {"y", r.y()}, {"width", r.width()}, {"height", r.height()}};
}

}  // namespace

// A screen's view fills the application's frame, below the status bar when
// it shows.
GADMRAIDBridge::Placement GADMRAIDBridge::placementInWindow(const platform::View& view) {
  // Each view's frame in the window, from the top-most down.
  std::vector<const platform::View*> chain;
  for (const platform::View* v = &view; v; v = v->superview()) chain.push_back(v);
  const platform::Point top = platform::Screen::main().applicationFrame().origin;
  Placement placement;
  placement.visibleArea = platform::Screen::main().bounds();
  platform::Point origin = top;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const platform::View& v = **it;
    const platform::Rect frame(origin.x + v.frame().x(), origin.y + v.frame().y(), v.frame().width(), v.frame().height());
    placement.shown = placement.shown && !v.isHidden();
    if (&v == &view) {
      placement.frame = frame;
    } else if (v.clipsToBounds()) {
      placement.visibleArea = platform::intersection(placement.visibleArea, frame);
    }
    origin = frame.origin;
  }
  return placement;
}

GADMRAIDBridge::Snapshot GADMRAIDBridge::measure(const platform::Rect& ad, const platform::Rect& area,
                                                 const platform::Rect& window, bool shown) {
  Snapshot s;
  s.ad = ad;
  s.screenSize = window.size;
  s.maxSize = window.size;
  const platform::Rect seen = platform::intersection(ad, area);
  const double whole = ad.width() * ad.height();
  if (!shown || seen.width() <= 0 || seen.height() <= 0 || whole <= 0) return s;
  s.visibleRectangle = platform::Rect(seen.x() - ad.x(), seen.y() - ad.y(), seen.width(), seen.height());
  s.exposedPercentage = 100.0 * seen.width() * seen.height() / whole;
  s.viewable = true;
  return s;
}

platform::Dictionary GADMRAIDBridge::dictionary(const Snapshot& s) {
  platform::Dictionary d{{"state", s.state},
                         {"viewable", s.viewable},
                         {"exposedPercentage", s.exposedPercentage},
                         {"ad", rectangle(s.ad)},
                         {"maxSize", platform::Dictionary{{"width", s.maxSize.width}, {"height", s.maxSize.height}}},
                         {"screenSize", platform::Dictionary{{"width", s.screenSize.width}, {"height", s.screenSize.height}}}};
  if (s.visibleRectangle) d.set("visibleRectangle", rectangle(*s.visibleRectangle));
  return d;
}

std::string GADMRAIDBridge::pageScript(const std::string& adUnitID) {
  std::string body = kPageScript;
  const std::string version = quoted(kVersion);
  body.replace(body.find("VERSION"), 7, version);
  body.replace(body.find("NAME"), 4, quoted(kScriptName));
  return "(function(){Object.defineProperty(window,'MRAID_ENV',{value:Object.freeze({version:" + version +
         ",sdk:'Rezido',sdkVersion:" + quoted(GADRequest::sdkVersion()) + ",adUnit:" + quoted(adUnitID) +
         "}),enumerable:true});" + body + "})();";
}

std::string GADMRAIDBridge::standInScript() {
  return "if(window.ZOVO_MRAIDInstall)window.ZOVO_MRAIDInstall();";
}

GADMRAIDBridge::GADMRAIDBridge(platform::WebView& webView) : webView_(&webView) {
  webView_->addScriptStandIn(kScriptName, standInScript());
}

// The stand-in calls into this script when the page asks for the
// interface; it is there by then, whichever was added first.
void GADMRAIDBridge::prepare(const std::string& adUnitID) {
  if (prepared_) return;
  prepared_ = true;
  webView_->addMainFrameScript(pageScript(adUnitID));
}

GADMRAIDBridge::~GADMRAIDBridge() { check_.cancel(); }

void GADMRAIDBridge::pageDidChange() {
  check_.cancel();
  interfaceLoaded_ = false;
  state_ = "loading";
  told_.reset();
}

void GADMRAIDBridge::pageDidLoadInterface(platform::ViewController* screen) {
  interfaceLoaded_ = true;
  screen_ = screen ? screen->weak_from_this() : std::weak_ptr<platform::ViewController>();
  update();
}

// Told even to a page that has not asked for the interface (yet): one that
// adds it later finds the ad shown. Its place is looked at from then on
// only once it has.
void GADMRAIDBridge::adDidShow(platform::ViewController* screen, const std::string& state) {
  state_ = state;
  screen_ = screen ? screen->weak_from_this() : std::weak_ptr<platform::ViewController>();
  if (interfaceLoaded_) {
    update();
    return;
  }
  told_ = now();
  send("update", dictionary(*told_));
}

void GADMRAIDBridge::setState(const std::string& state) {
  state_ = state;
  update();
}

void GADMRAIDBridge::adDidClose() {
  if (state_ != "default") return;
  webView_->setHidden(true);
  setState("hidden");
}

void GADMRAIDBridge::reportError(const std::string& message, const std::string& action) {
  if (interfaceLoaded_) send("error", platform::Dictionary{{"message", message}, {"action", action}});
}

void GADMRAIDBridge::update() {
  if (!interfaceLoaded_) return;
  check_.schedule(kExposureCheckSeconds, [this] { update(); });
  if (state_ == "loading") return;
  const Snapshot snapshot = now();
  if (told_ && *told_ == snapshot) return;
  told_ = snapshot;
  send("update", dictionary(snapshot));
}

GADMRAIDBridge::Snapshot GADMRAIDBridge::now() const {
  const Placement placement = placementInWindow(*webView_);
  // Covered when a screen is over the ad's, unless the ad is in that screen
  // (expanded, it is the screen over its own).
  const platform::View* outermost = webView_;
  while (outermost->superview()) outermost = outermost->superview();
  const auto screen = screen_.lock();
  platform::ViewController* top = screen.get();
  while (top && top->modalViewController()) top = top->modalViewController();
  const bool covered = top && top != screen.get() && top->view().get() != outermost;
  const bool shown =
      placement.shown && !covered && webView_->superview() && platform::Application::shared().isVisible();
  // A window partly off its monitor shows only the part on it.
  platform::Rect area = placement.visibleArea;
  if (auto* window = platform::Application::shared().keyWindow())
    if (auto onMonitor = window->areaOnMonitor()) area = platform::intersection(area, *onMonitor);
  Snapshot snapshot = measure(placement.frame, area, platform::Screen::main().bounds(), shown);
  snapshot.state = state_;
  return snapshot;
}

void GADMRAIDBridge::send(const std::string& event, const platform::Dictionary& data) {
  const platform::Value value(data);
  const auto json = GADMacros::jsonify(&value);
  if (!json) return;
  webView_->evaluateJavaScript(
      platform::WebView::scriptWithoutValue("window.ZOVO_MRAIDEvent('" + event + "'," + *json + ");"));
}
