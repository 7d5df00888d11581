#include "adnet/HostileCreatives.h"

#include "ads/request/GADNetworkUtilities.h"

namespace adnet {

namespace {

// A page's quiet way to send many messages: each hidden frame navigates to
// one, as message channels are driven from frames.
constexpr const char* kSend =
    "function send(u){var f=document.createElement('iframe');f.style.display='none';f.src=u;"
    "document.body.appendChild(f);setTimeout(function(){f.remove();},1000);}";

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  return out + "'";
}

// Page capabilities: each way a page makes WebKit save a file, over and over.
std::string downloads() {
  const std::string file = quoted(HostileCreatives::kAttachmentPath), name = quoted(HostileCreatives::kAttachmentName);
  return "function save(){"
         "var f=document.createElement('iframe');f.style.display='none';f.src=" + file + ";"
         "document.body.appendChild(f);setTimeout(function(){f.remove();},1000);"
         "var a=document.createElement('a');a.href=" + file + ";a.download=" + name + ";document.body.appendChild(a);"
         "a.click();a.remove();"
         "var b=document.createElement('a');b.href=URL.createObjectURL(new Blob(['echo pwned'],"
         "{type:'application/x-sh'}));b.download=" + name + ";document.body.appendChild(b);b.click();b.remove();}"
         "setInterval(save,400);document.getElementById('ad').addEventListener('click',save);";
}

// Page capabilities: every permission a page can ask for, with and without
// a click (the ad's link asks too); the page writes down each answer.
std::string permissions() {
  return "window.answers={};function note(k,v){answers[k]=String(v);document.title=JSON.stringify(answers);}"
         "function ask(){"
         "try{Notification.requestPermission().then(function(p){note('notification',p);},"
         "function(e){note('notification','rejected');});}catch(e){note('notification','absent');}"
         "try{navigator.geolocation.getCurrentPosition(function(){note('geolocation','granted');},"
         "function(e){note('geolocation','denied');});}catch(e){note('geolocation','absent');}"
         "try{navigator.mediaDevices.getUserMedia({video:true,audio:true}).then(function(){note('media','granted');},"
         "function(){note('media','rejected');});}catch(e){note('media','absent');}"
         "try{navigator.clipboard.readText().then(function(){note('clipboard','granted');},"
         "function(){note('clipboard','rejected');});}catch(e){note('clipboard','absent');}"
         "try{var p=document.documentElement.requestFullscreen();if(p)p.then(function(){note('fullscreen','granted');},"
         "function(){note('fullscreen','rejected');});}catch(e){note('fullscreen','absent');}"
         "try{document.body.requestPointerLock();}catch(e){note('pointer','absent');}"
         "setTimeout(function(){note('pointer',document.pointerLockElement?'granted':'refused');},300);}"
         "setInterval(ask,700);document.getElementById('ad').addEventListener('click',ask);";
}

std::string attack(HostileCreatives::Kind kind, const std::string& clickURL, const std::string& landingURL,
                   const std::string& webAppURL) {
  using Kind = HostileCreatives::Kind;
  const std::string click = quoted(clickURL), landing = quoted(landingURL), webApp = quoted(webAppURL);
  switch (kind) {
    case Kind::None:
    case Kind::HugeHeaders:
    case Kind::ReadsTheAdFromALandingPage:
      return "";
    case Kind::LeavesTheApplication:
      return "var away=['file:///etc/passwd','smb://host.example.test/share','data:text/html,hi',"
             "'javascript:void(0)','zovo-custom://launch','ghelp:gnome-help','tel:5551234',"
             "'mailto:x@example.test','sms:5551234'];var i=0;"
             "setInterval(function(){var t=away[i++%away.length];"
             "send('gmsg://ads.example.test/open?a=app&u='+encodeURIComponent(t));send(t);"
             "try{window.open(t);}catch(e){}if(i%3==0)location.href=t;},150);"
             // A frame of the ad's own tries the same on the whole page.
             "var f=document.createElement('iframe');f.style.display='none';"
             "f.srcdoc='<script>setInterval(function(){try{top.location=\"zovo-custom://from-frame\";}catch(e){}"
             "location.href=\"smb://host.example.test/frame\";},200);<\\/script>';document.body.appendChild(f);";
    case Kind::StacksScreens:
      return "setInterval(function(){"
             "send('gmsg://ads.example.test/open?a=browser&u='+encodeURIComponent(" + landing + "));"
             "send('gmsg://ads.example.test/open?a=webapp&u='+encodeURIComponent(" + webApp + "));"
             "send('gmsg://ads.example.test/open?a=webapp&html=%3Cp%3Estacked%3C%2Fp%3E');"
             "try{window.open(" + landing + ");}catch(e){}},100);";
    case Kind::FloodsMessages:
      return "var big='gmsg://ads.example.test/log?string='+'a'.repeat(1<<20);"
             "var many=[];for(var k=0;k<20000;k++)many.push('s'+k+':');"
             "var ask='gmsg://ads.example.test/canOpenURLs?urls='+many.join(',');"
             "setInterval(function(){for(var k=0;k<20;k++)send('gmsg://ads.example.test/log?string=flood'+k);"
             "send(ask);send(big);send('gmsg://ads.example.test/vibrate');"
             "send('gmsg://ads.example.test/evalInOpener?js='+encodeURIComponent('1+1'));},50);";
    case Kind::NavigatesItself:
      return "setTimeout(function(){"
             "var f=document.createElement('iframe');f.width=1;f.height=1;f.src=" + landing + ";"
             "document.body.appendChild(f);"
             "var g=document.createElement('iframe');g.width=1;g.height=1;g.src='about:blank';"
             "document.body.appendChild(g);"
             "document.getElementById('ad').click();"
             "setTimeout(function(){location.href=" + click + ";},300);"
             "setTimeout(function(){location.href=" + landing + ";},600);},800);";
    case Kind::BorrowsOurScripts:
      return "window.onorientationchange=function(){location.href=" + click + ";"
             "send('gmsg://ads.example.test/open?a=browser&u='+encodeURIComponent(" + landing + "));};"
             "window.ZOVO_ReceiveMessage=function(){"
             "location.href='gmsg://ads.example.test/open?a=app&u=tel%3A5550001';"
             "send('gmsg://ads.example.test/click?u='+encodeURIComponent(" + click + "));};"
             "setInterval(function(){send('gmsg://ads.example.test/canOpenURLs?urls=tel:');},400);";
    case Kind::ShowsDialogs:
      // The page writes down what each dialog answered.
      return "window.onbeforeunload=function(e){e.preventDefault();return 'Stay?';};"
             "setTimeout(function(){alert('You won!');var c=confirm('Claim it?');var p=prompt('Your name?','x');"
             "document.title='answered '+c+' '+p;}," + std::to_string(HostileCreatives::kActAfterMilliseconds) +
             ");";
    case Kind::HangsItsPage:
      return "setTimeout(function(){document.title='hanging';while(true){}}," +
             std::to_string(HostileCreatives::kActAfterMilliseconds) + ");";
    case Kind::AsksForManyOnAClick:
      // The link is followed as well: that is one more ask.
      return "function many(){"
             "for(var k=0;k<5;k++)send('gmsg://ads.example.test/open?a=app&u='+encodeURIComponent('tel:55500'+k));"
             "for(var k=0;k<10;k++)send('tel:55510'+k);"
             "for(var k=0;k<4;k++)send(" + landing + "+'?frame='+k);"
             "for(var k=0;k<3;k++)send('gmsg://ads.example.test/open?a=browser&u='+encodeURIComponent(" + landing +
             "));"
             "for(var k=0;k<5;k++){try{window.open(" + landing + "+'?window='+k);}catch(e){}}"
             "send('gmsg://ads.example.test/open?a=app&u='+encodeURIComponent('mailto:x@example.test?attach=/etc/passwd'));"
             "for(var k=0;k<5;k++)send('gmsg://ads.example.test/vibrate');}"
             "document.getElementById('ad').addEventListener('click',function(){many();"
             "setTimeout(many,200);setTimeout(function(){many();location.href=" + landing + "+'?moved';},600);});"
             "document.addEventListener('keydown',function(){many();});";
    // Page capabilities.
    case Kind::DownloadsFiles:
      return downloads();
    case Kind::AsksForPermissions:
      return permissions();
    case Kind::Prints:
      // It counts its prints, so a test sees the page went on after each.
      return "window.prints=0;setInterval(function(){window.print();document.title='printed '+(++window.prints);},300);";
    // Heavy ads. Each answers a script between its bursts, so only the
    // bounds, not the hang probe, can end it.
    case Kind::BurnsCPU:
      return "window.burnt=0;setInterval(function(){var end=Date.now()+90;while(Date.now()<end){}"
             "window.burnt+=90;},100);";
    case Kind::DownloadsWithoutEnd:
      // Relative to the ad's address: the sandbox's /zovo/blob.
      return "window.fetched=0;var n=0;function next(){var i=new Image();"
             "i.onload=i.onerror=function(){window.fetched++;next();};"
             "i.src='/zovo/blob?bytes=" + std::to_string(HostileCreatives::kDownloadBytes) + "&n='+(n++);}next();";
    case Kind::GrowsItsMemory:
      // It stops at 2 GB, so a run without a memory bound does not take
      // the machine down with it.
      return "window.kept=[];setInterval(function(){if(window.kept.length>=128)return;"
             "var a=new Uint8Array(16<<20);for(var k=0;k<a.length;k+=4096)a[k]=1;window.kept.push(a);},100);";
  }
  return "";
}

}  // namespace

std::string HostileCreatives::name(Kind kind) {
  switch (kind) {
    case Kind::None: return "none";
    case Kind::LeavesTheApplication: return "leaves-the-application";
    case Kind::StacksScreens: return "stacks-screens";
    case Kind::FloodsMessages: return "floods-messages";
    case Kind::NavigatesItself: return "navigates-itself";
    case Kind::BorrowsOurScripts: return "borrows-our-scripts";
    case Kind::HugeHeaders: return "huge-headers";
    case Kind::ReadsTheAdFromALandingPage: return "reads-the-ad-from-a-landing-page";
    case Kind::ShowsDialogs: return "shows-dialogs";
    case Kind::HangsItsPage: return "hangs-its-page";
    case Kind::AsksForManyOnAClick: return "asks-for-many-on-a-click";
    // Page capabilities.
    case Kind::DownloadsFiles: return "downloads-files";
    case Kind::AsksForPermissions: return "asks-for-permissions";
    case Kind::Prints: return "prints";
    case Kind::BurnsCPU: return "burns-cpu";
    case Kind::DownloadsWithoutEnd: return "downloads-without-end";
    case Kind::GrowsItsMemory: return "grows-its-memory";
  }
  return "none";
}

std::vector<HostileCreatives::Kind> HostileCreatives::all() {
  return {Kind::LeavesTheApplication, Kind::StacksScreens,  Kind::FloodsMessages, Kind::NavigatesItself,
          Kind::BorrowsOurScripts,    Kind::HugeHeaders,    Kind::ReadsTheAdFromALandingPage,
          Kind::ShowsDialogs,         Kind::HangsItsPage,   Kind::AsksForManyOnAClick,
          // Page capabilities.
          Kind::DownloadsFiles,       Kind::AsksForPermissions, Kind::Prints};
}

std::vector<HostileCreatives::Kind> HostileCreatives::heavy() {
  return {Kind::BurnsCPU, Kind::DownloadsWithoutEnd, Kind::GrowsItsMemory};
}

std::optional<HostileCreatives::Kind> HostileCreatives::fromName(std::string_view text) {
  for (Kind kind : all())
    if (name(kind) == text) return kind;
  for (Kind kind : heavy())
    if (name(kind) == text) return kind;
  if (text == "none") return Kind::None;
  return std::nullopt;
}

std::string HostileCreatives::html(Kind kind, const std::string& clickURL, const std::string& landingURL,
                                   const std::string& webAppURL) {
  return "<!DOCTYPE html><html><head><meta name=\"viewport\" content=\"width=320,height=50\"><style>"
         "html,body{margin:0;padding:0;overflow:hidden;background:#7a1f1f}"
         "a{display:block;box-sizing:border-box;width:320px;height:50px;padding:15px 12px;color:#fff;"
         "font:bold 16px sans-serif;text-decoration:none}</style></head><body>"
         "<a id=\"ad\" href=\"" + clickURL + "\">Totally Harmless Offer</a><script>" + kSend +
         attack(kind, clickURL, landingURL, webAppURL) + "</script></body></html>";
}

std::string HostileCreatives::landingHTML() {
  // Reads the ad page (its URL carries the request's parameters), marks it,
  // and tries to leave and to open more screens, over and over.
  const std::string read = GADNetworkUtilities::encodeURL("window.readByLanding=document.URL;document.URL");
  return std::string("<!DOCTYPE html><html><head><title>A third party</title></head><body>"
                     "<h1>Someone else's page</h1><p id=\"answers\">No answer.</p><script>") + kSend +
         "window.ZOVO_ReceiveMessage=function(n,d){document.getElementById('answers').textContent=n+' '+"
         "JSON.stringify(d);};"
         "setInterval(function(){send('gmsg://ads.example.test/evalInOpener?js=" + read + "');"
         "send('gmsg://ads.example.test/open?a=app&u=zovo-custom%3A%2F%2Flanding');"
         "send('gmsg://ads.example.test/open?a=browser&u=http%3A%2F%2F127.0.0.1%2F');"
         "send('zovo-custom://from-landing');},200);</script></body></html>";
}

}  // namespace adnet
