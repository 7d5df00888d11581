#include "adnet/MRAIDCreatives.h"

namespace adnet {

namespace {

constexpr const char* kReport =
    "var seq=0;function report(e,v){var i=new Image();i.src='/zovo/mraid/report?n='+(seq++)+'&e='+"
    "encodeURIComponent(e)+'&v='+encodeURIComponent(String(v));}";

// What every creative reports once "mraid" is there, and its listeners.
constexpr const char* kListen =
    "function listen(){"
    "mraid.addEventListener('ready',function(){report('ready',mraid.getState()+' '+mraid.isViewable());"
    "report('supports',['sms','tel','calendar','storePicture','inlineVideo','location'].map(function(f){"
    "return f+'='+mraid.supports(f);}).join(' '));"
    "var p=mraid.getDefaultPosition(),m=mraid.getMaxSize(),s=mraid.getScreenSize();"
    "report('geometry',[p.x,p.y,p.width,p.height,m.width,m.height,s.width,s.height].join(' '));"
    "report('location',mraid.getLocation());if(window.onReady)onReady();});"
    "mraid.addEventListener('stateChange',function(s){report('stateChange',s);});"
    "mraid.addEventListener('viewableChange',function(v){report('viewableChange',v);});"
    "mraid.addEventListener('exposureChange',function(p,r){report('exposureChange',Math.round(p)+"
    "(r?' '+[r.x,r.y,r.width,r.height].join(' '):''));});"
    "mraid.addEventListener('error',function(m,a){report('error',a);});}";

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  return out + "'";
}

std::string page(const std::string& head, const std::string& body) {
  return "<!DOCTYPE html><html><head><meta name=\"viewport\" content=\"width=320,height=50\">"
         "<title>Rich Media Regatta</title><style>html,body{margin:0;padding:0;overflow:hidden;background:#5a2e8c}"
         "a{display:block;box-sizing:border-box;width:320px;height:50px;padding:15px 12px;color:#fff;"
         "font:bold 16px sans-serif;text-decoration:none}</style><script>" +
         std::string(kReport) + kListen + "</script>" + head + "</head><body><a id=\"ad\" href=\"#\">Rich Media Regatta</a>" +
         body + "</body></html>";
}

}  // namespace

std::string MRAIDCreatives::name(Kind kind) {
  switch (kind) {
    case Kind::None: return "none";
    case Kind::Events: return "mraid-events";
    case Kind::LoadsLate: return "mraid-loads-late";
    case Kind::Expands: return "mraid-expands";
    case Kind::Resizes: return "mraid-resizes";
    case Kind::ExpandsToAPage: return "mraid-expands-to-a-page";
  }
  return "none";
}

std::optional<MRAIDCreatives::Kind> MRAIDCreatives::fromName(std::string_view text) {
  for (Kind kind : {Kind::None, Kind::Events, Kind::LoadsLate, Kind::Expands, Kind::Resizes, Kind::ExpandsToAPage})
    if (name(kind) == text) return kind;
  return std::nullopt;
}

std::string MRAIDCreatives::html(Kind kind, const std::string& landingURL) {
  const std::string landing = quoted(landingURL);
  switch (kind) {
    case Kind::None:
      return "";
    case Kind::Events:
      return page("<script>var asked=performance.now();report('env',window.MRAID_ENV?[MRAID_ENV.version,MRAID_ENV.sdk,MRAID_ENV.adUnit].join(' '):"
                  "'none');report('before',typeof window.mraid);</script>"
                  "<script src=\"mraid.js\" onload=\"report('onload',1)\"></script>"
                  "<script>report('version',mraid.getVersion());report('state',mraid.getState());"
                  "report('placement',mraid.getPlacementType());listen();"
                  "window.onReady=function(){report('ms-to-ready',(performance.now()-asked).toFixed(2));"
                  "setTimeout(function(){mraid.open(" + landing + ");},300);};"
                  "var exposed=false;mraid.addEventListener('exposureChange',function(){if(exposed)return;exposed=true;"
                  "report('ms-to-exposure',performance.now().toFixed(2));});"
                  "window.ZOVO_ReceiveMessage=function(n,d){report('message',n+' '+JSON.stringify(d));};</script>",
                  "<script>document.getElementById('ad').addEventListener('click',function(e){e.preventDefault();"
                  "mraid.open(" + landing + ");});"
                  "var f=document.createElement('iframe');f.style.display='none';"
                  "f.src='gmsg://ads.example.test/canOpenURLs?urls=tel%3A1';document.body.appendChild(f);</script>");
    case Kind::LoadsLate:
      return page("", "<script>window.addEventListener('load',function(){setTimeout(function(){"
                      "var s=document.createElement('script');s.src='/creatives/lib/mraid.js?v=3';"
                      "s.onload=function(){report('onload',1);report('state',mraid.getState());listen();};"
                      "s.onerror=function(){report('onerror',1);};document.head.appendChild(s);},200);});</script>");
    case Kind::Expands:
      return page("<script src=\"mraid.js\"></script><script>listen();"
                  "mraid.addEventListener('sizeChange',function(w,h){report('sizeChange',w+' '+h);});"
                  "window.onReady=function(){setTimeout(function(){mraid.expand();},300);};</script>"
                  "<style>#big{display:none;position:fixed;left:0;top:0;width:100%;height:100%;background:#d01010}"
                  "#corner{position:fixed;right:0;top:0;width:60px;height:60px;background:#d01010;z-index:2147483647}"
                  "#close{position:fixed;left:0;top:0;width:120px;height:50px;z-index:10}"
                  "#visit{position:fixed;left:0;top:200px;width:200px;height:50px;z-index:10}</style>",
                  "<div id=\"big\"><div id=\"corner\"></div><a id=\"close\" href=\"#\">Close it</a>"
                  "<a id=\"visit\" href=\"#\">Visit</a></div><script>"
                  "document.getElementById('ad').addEventListener('click',function(e){e.preventDefault();mraid.expand();});"
                  "document.getElementById('visit').addEventListener('click',function(e){e.preventDefault();"
                  "mraid.open(" + landing + ");});"
                  "document.getElementById('close').addEventListener('click',function(e){e.preventDefault();mraid.close();});"
                  "mraid.addEventListener('stateChange',function(s){"
                  "document.getElementById('big').style.display=s==='expanded'?'block':'none';});</script>");
    case Kind::Resizes:
      return page("<script src=\"mraid.js\"></script><script>listen();"
                  "mraid.addEventListener('sizeChange',function(w,h){report('sizeChange',w+' '+h);"
                  "document.documentElement.style.background=document.body.style.background=h>50?'#d01010':'#5a2e8c';});"
                  "mraid.addEventListener('error',function(m,a){report('resize-error',a+': '+m);});"
                  "var up={width:320,height:100,offsetX:0,offsetY:-50};"
                  "var tries=[function(){mraid.resize();},"
                  "function(){mraid.setResizeProperties({width:40,height:40,offsetX:0,offsetY:0});},"
                  "function(){mraid.setResizeProperties({width:'wide',height:100,offsetX:0,offsetY:0});},"
                  "function(){mraid.setResizeProperties({width:320,height:100,offsetX:0,offsetY:0,allowOffscreen:false});"
                  "mraid.resize();},"
                  "function(){mraid.setResizeProperties({width:100,height:50,offsetX:260,offsetY:0});mraid.resize();},"
                  "function(){mraid.setResizeProperties(up);mraid.resize();},"
                  "function(){report('tried',tries.length);}];"
                  "window.onReady=function(){tries.forEach(function(f,i){setTimeout(f,250*(i+1));});};</script>",
                  "<script>document.getElementById('ad').addEventListener('click',function(e){e.preventDefault();"
                  "mraid.setResizeProperties(up);mraid.resize();});</script>");
    case Kind::ExpandsToAPage:
      return page("<script src=\"mraid.js\"></script><script>listen();</script>",
                  "<script>document.getElementById('ad').addEventListener('click',function(e){e.preventDefault();"
                  "mraid.expand('/zovo/mraid/expanded');});</script>");
  }
  return "";
}

std::string MRAIDCreatives::expandedPageHTML() {
  return "<!DOCTYPE html><html><head><title>Rich Media Regatta, expanded</title>"
         "<style>html,body{margin:0;height:100%;background:#10a040}#close{display:block;width:120px;height:50px;"
         "color:#fff;font:bold 16px sans-serif}</style><script>" +
         std::string(kReport) + "</script><script src=\"mraid.js\"></script><script>"
         "mraid.addEventListener('ready',function(){report('part-two',mraid.getState()+' '+mraid.getPlacementType());});"
         "mraid.addEventListener('exposureChange',function(p){report('part-two-exposure',Math.round(p));});"
         "mraid.addEventListener('error',function(m,a){report('part-two-error',a);});"
         "</script></head><body><a id=\"close\" href=\"#\">Close it</a><script>"
         "document.getElementById('close').addEventListener('click',function(e){e.preventDefault();mraid.close();});"
         "setTimeout(function(){mraid.open('/landing');},300);</script></body></html>";
}

std::string MRAIDCreatives::networkScript() { return "report('network-script',1);"; }

}  // namespace adnet
