#include "adnet/AdNetwork.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include <glib.h>

#include "adnet/CoreScript.h"
#include "ads/codec/GTMStringEncoding.h"
#include "ads/request/GADNetworkUtilities.h"
#include "ads/request/GADLocation.h"
#include "ads/request/GADSignalsProvider.h"
#include "platform/Crypto.h"

namespace adnet {

namespace {

struct Creative {
  const char* headline;
  const char* tagline;
  const char* colour;
};
constexpr Creative kCreatives[AdNetwork::kCreativeCount] = {
    {"Rubber Duck Regatta", "Float your way to glory", "#1f7a4d"},
    {"Whoopee Cushion Co.", "Every seat a surprise", "#b03a2e"},
    {"Kazoo Academy", "Hum like you mean it", "#2e5fb0"},
    {"Banana Peel Insurance", "Slip without worry", "#b07d1a"},
};

std::string unescape(const std::string& text) {
  // No '+' to space: the client sends '+' literally (the "uule" text has one).
  char* raw = g_uri_unescape_string(text.c_str(), nullptr);
  if (!raw) return text;
  std::string out = raw;
  g_free(raw);
  return out;
}

}  // namespace

std::map<std::string, std::string> parseQuery(const std::string& query) {
  std::map<std::string, std::string> items;
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const std::string item = query.substr(start, end - start);
    if (!item.empty()) {
      const size_t equals = item.find('=');
      if (equals == std::string::npos) {
        items[unescape(item)] = "";
      } else {
        items[unescape(item.substr(0, equals))] = unescape(item.substr(equals + 1));
      }
    }
    start = end + 1;
  }
  return items;
}

AdNetwork::AdNetwork(int port) : server_(std::make_unique<LoopbackServer>(port)) {
  // Bound, never listening: the port stays ours and refuses connections.
  closedSocket_ = g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr);
  if (closedSocket_) {
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* any = g_inet_socket_address_new(loopback, 0);
    if (g_socket_bind(closedSocket_, any, FALSE, nullptr)) {
      if (GSocketAddress* bound = g_socket_get_local_address(closedSocket_, nullptr)) {
        closedPort_ = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
        g_object_unref(bound);
      }
    }
    g_object_unref(any);
    g_object_unref(loopback);
  }
  server_->setHandler("/zovo/sdk-core-v40.js", [this](const RecordedRequest& r) { return answerScript(r); });
  server_->setHandler("/zovo/ads/ad", [this](const RecordedRequest& r) { return answerAd(r); });
  server_->setHandler("/zovo/ads/redirect", [this](const RecordedRequest& r) {
    Answer hop = Answer::redirect(302, url("/zovo/ads/ad") + (r.query ? "?" + *r.query : ""));
    hop.headers.emplace_back("X-Zovo-Tracking-Urls", url("/zovo/imp?hop=1"));
    return hop;
  });
  auto pixel = [this](const RecordedRequest&) {
    Answer answer;
    answer.contentType = "image/gif";
    answer.body = std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14);
    answer.delaySeconds = behaviour_.trackingDelaySeconds;
    return answer;
  };
  server_->setHandler("/zovo/imp", pixel);
  // A body of "bytes" bytes (up to kMaximumBlobBytes), never cached: what
  // an ad that downloads without end fetches, on loopback only.
  server_->setHandler("/zovo/blob", [](const RecordedRequest& r) {
    const auto query = parseQuery(r.query.value_or(""));
    size_t bytes = 0;
    if (auto found = query.find("bytes"); found != query.end()) {
      const std::string& text = found->second;
      std::from_chars(text.data(), text.data() + text.size(), bytes);
    }
    Answer blob;
    blob.contentType = "application/octet-stream";
    blob.headers.emplace_back("Cache-Control", "no-store");
    blob.body.assign(std::min(bytes, kMaximumBlobBytes), 'z');
    return blob;
  });
  server_->setHandler("/zovo/clk", pixel);
  server_->setHandler("/zovo/mraid/report", [pixel](const RecordedRequest& r) {
    Answer answer = pixel(r);
    answer.headers.emplace_back("Cache-Control", "no-store");
    return answer;
  });
  server_->setHandler("/zovo/mraid/expanded", [](const RecordedRequest&) {
    Answer page;
    page.body = MRAIDCreatives::expandedPageHTML();
    return page;
  });
  for (const char* path : {"/zovo/ads/mraid.js", "/creatives/lib/mraid.js", "/zovo/mraid/mraid.js"}) {
    server_->setHandler(path, [](const RecordedRequest&) {
      Answer script;
      script.contentType = "text/javascript";
      script.body = MRAIDCreatives::networkScript();
      return script;
    });
  }
  // "hops=K" first redirects through K more web hops; "to=URL" then ends
  // the chain there (an application link such as "tel:"), else the ad's
  // landing page.
  server_->setHandler("/zovo/aclk", [this](const RecordedRequest& r) {
    auto query = parseQuery(r.query.value_or(""));
    const auto ad = query.find("ad");
    const std::string creative = ad == query.end() ? std::string("0") : ad->second;
    const int hops = query.contains("hops") ? std::atoi(query["hops"].c_str()) : 0;
    if (hops > 0) {
      std::string next = "/zovo/aclk?ad=" + GADNetworkUtilities::encodeURL(creative) +
                         "&hops=" + std::to_string(hops - 1);
      if (query.contains("to")) next += "&to=" + GADNetworkUtilities::encodeURL(query["to"]);
      return Answer::redirect(302, url(next));
    }
    if (query.contains("to")) return Answer::redirect(302, query["to"]);
    return Answer::redirect(302, url(behaviour_.landingPath + "?ad=" + creative));
  });
  server_->setHandler("/landing", [this](const RecordedRequest& r) { return answerLanding(r); });
  server_->setHandler("/landing/more", [this](const RecordedRequest& r) { return answerLanding(r); });
  server_->setHandler("/landing/thanks", [this](const RecordedRequest& r) { return answerLanding(r); });
  server_->setHandler("/landing/slow", [this](const RecordedRequest& r) {
    Answer page = answerLanding(r);
    page.delaySeconds = behaviour_.slowPageSeconds;
    return page;
  });
  server_->setHandler("/landing/fail", [](const RecordedRequest&) {
    Answer gone;
    gone.drop = Answer::Drop::BeforeResponse;
    return gone;
  });
  server_->setHandler("/landing/hostile", [](const RecordedRequest&) {
    Answer page;
    page.body = HostileCreatives::landingHTML();
    return page;
  });
  server_->setHandler("/landing/media", [](const RecordedRequest&) {
    Answer page;
    page.body =
        "<!DOCTYPE html><html><body><h1>Hear it</h1><audio id=\"clip\" src=\"/landing/clip.wav\"></audio><script>"
        "window.playback='';document.getElementById('clip').play().then(function(){window.playback='played';},"
        "function(e){window.playback=e.name;});</script></body></html>";
    return page;
  });
  server_->setHandler("/landing/clip.wav", [](const RecordedRequest&) {
    Answer clip;
    clip.contentType = "audio/wav";
    clip.body = silentWave();
    return clip;
  });
  server_->setHandler("/landing/busy", [](const RecordedRequest&) {
    Answer page;
    // Loaded first, then its script never returns.
    page.body = "<!DOCTYPE html><html><body><h1>Busy</h1><script>"
                "setTimeout(function(){for(;;){}},100);</script></body></html>";
    return page;
  });
  server_->setHandler("/webapp", [this](const RecordedRequest&) {
    Answer page;
    page.body = webAppHTML(url("/landing?ad=0"));
    return page;
  });
  // Page capabilities: the file a hostile creative tries to save.
  server_->setHandler(HostileCreatives::kAttachmentPath, [](const RecordedRequest&) {
    Answer file;
    file.contentType = "application/x-sh";
    file.headers.emplace_back("Content-Disposition", std::string("attachment; filename=\"") +
                                                         HostileCreatives::kAttachmentName + "\"");
    file.body = "#!/bin/sh\necho pwned\n";
    return file;
  });
}

// Half a second of silence: PCM, 8 bits, one channel, 8 kHz.
std::string AdNetwork::silentWave() {
  constexpr std::uint32_t kRate = 8000, kSamples = kRate / 2;
  std::string wave;
  auto put = [&](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) wave.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
  };
  wave += "RIFF";
  put(36 + kSamples, 4);
  wave += "WAVEfmt ";
  put(16, 4);
  put(1, 2);      // PCM
  put(1, 2);      // channels
  put(kRate, 4);  // samples a second
  put(kRate, 4);  // bytes a second
  put(1, 2);      // block size
  put(8, 2);      // bits a sample
  wave += "data";
  put(kSamples, 4);
  wave.append(kSamples, static_cast<char>(0x80));
  return wave;
}

Answer AdNetwork::answerLanding(const RecordedRequest& r) {
  const auto query = parseQuery(r.query.value_or(""));
  const auto ad = query.find("ad");
  const int index = ad == query.end() ? 0 : std::atoi(ad->second.c_str());
  const Creative& c = kCreatives[static_cast<size_t>(index) % kCreativeCount];
  const std::string n = std::to_string(static_cast<size_t>(index) % kCreativeCount);
  std::string heading = c.headline;
  if (r.path == "/landing/more") heading += ": more";
  if (r.path == "/landing/thanks") heading += ": thank you" + (query.contains("name") ? ", " + query.at("name") : "");
  if (r.path == "/landing/slow") heading += ": worth the wait";
  Answer page;
  // The https link points at a loopback port where nothing listens: it is
  // followed (and counted as secure) and then fails at once, as an
  // unreachable page does.
  page.body = std::string("<!DOCTYPE html><html><head><meta name=\"viewport\" content=\"width=device-width\">"
                          "<title>") +
              heading + "</title></head><body style=\"font-family:sans-serif;margin:24px\"><h1 style=\"color:" +
              c.colour + "\">" + heading + "</h1><p>" + c.tagline +
              ".</p><p>This is a landing page of the sandbox ad network.</p><ul>"
              "<li><a id=\"more\" href=\"/landing/more?ad=" + n + "\">More about it</a></li>"
              "<li><a id=\"secure\" href=\"https://127.0.0.1:" + std::to_string(closedPort_) + "/landing/more?ad=" + n +
              "\">The secure page</a></li>"
              "<li><a id=\"blank\" target=\"_blank\" href=\"/landing/more?ad=" + n + "\">More, in a new window</a></li>"
              "<li><a id=\"slow\" href=\"/landing/slow?ad=" + n + "\">A slow page</a></li>"
              "<li><a id=\"fail\" href=\"/landing/fail?ad=" + n + "\">A page that fails</a></li></ul>"
              "<form id=\"form\" action=\"/landing/thanks\" method=\"get\"><input type=\"hidden\" name=\"ad\" value=\"" +
              n + "\"><input name=\"name\" value=\"Pat\"><button id=\"send\">Send</button></form></body></html>";
  return page;
}

std::string AdNetwork::webAppHTML(const std::string& landingURL) {
  // The page keeps every event the client sends it in window.appEvents.
  return "<!DOCTYPE html><html><head><meta name=\"viewport\" content=\"width=device-width\"><style>"
         "html,body{margin:0;height:100%;background:transparent;font-family:sans-serif;color:#fff}"
         "main{position:absolute;left:24px;right:24px;top:60px;padding:20px;border-radius:12px;"
         "background:rgba(20,40,90,.88)}a{color:#ffd84d}</style></head><body><main>"
         "<h1>Kazoo Academy</h1><p>The sandbox's web application.</p><p id=\"events\">No events yet.</p>"
         "<p><a id=\"browser\" href=\"gmsg://ads.example.test/open?a=browser&amp;u=" +
         GADNetworkUtilities::encodeURL(landingURL) +
         "\">Open the landing page</a></p><p><a id=\"close\" href=\"gmsg://ads.example.test/close\">Close</a></p>"
         "</main><script>window.appEvents=[];window.ZOVO_ReceiveMessage=function(name,info){"
         "window.appEvents.push({name:name,info:info===undefined?null:info});"
         "document.getElementById('events').textContent=window.appEvents.map(function(e){return e.name;}).join(', ');};"
         "</script></body></html>";
}

AdNetwork::~AdNetwork() {
  if (closedSocket_) g_object_unref(closedSocket_);
}

Answer AdNetwork::answerScript(const RecordedRequest&) {
  Answer answer;
  answer.status = behaviour_.scriptStatus;
  if (answer.status != 200) {
    answer.body = "no script here";
    return answer;
  }
  const char* mode = "answer";
  switch (behaviour_.scriptAnswer) {
    case ScriptAnswer::LoadAdURL: break;
    case ScriptAnswer::InvalidRequest: mode = "invalidRequest"; break;
    case ScriptAnswer::UnableToServe: mode = "unableToServe"; break;
    case ScriptAnswer::Silent: mode = "silent"; break;
    case ScriptAnswer::ViaRedirect: mode = "redirect"; break;
    case ScriptAnswer::NotText: mode = "not text \xff\xfe"; break;
  }
  answer.contentType = "application/javascript";
  answer.body = std::string("window.ZOVO_SANDBOX_MODE = '") + mode + "';\n" + kCoreScript;
  answer.lastModified = kScriptLastModified;
  return answer;
}

Answer AdNetwork::answerAd(const RecordedRequest& request) {
  AdRequestRecord record;
  record.parameters = parseQuery(request.query.value_or(""));
  record.userAgent = request.header("User-Agent");
  if (auto uule = record.parameters.find("uule"); uule != record.parameters.end())
    record.location = decodeLocation(uule->second);
  if (auto ms = record.parameters.find("ms"); ms != record.parameters.end()) {
    if (auto signal = GADSignalsProvider::decodeSignal(ms->second)) {
      record.signal = "kind=" + std::to_string(signal->kind) + " type=" + std::to_string(signal->requestType) +
                      " touches=" + std::to_string(signal->touchCount);
    }
  }
  record.creative = nextCreative_;
  nextCreative_ = (nextCreative_ + 1) % kCreativeCount;
  adRequests_.push_back(record);

  Answer answer;
  answer.status = behaviour_.adStatus;
  answer.delaySeconds = behaviour_.adDelaySeconds;
  if (behaviour_.adDropsConnection) answer.drop = Answer::Drop::BeforeResponse;
  const std::string creative = std::to_string(record.creative);
  std::string click = url("/zovo/aclk?ad=" + creative + "&ai=AI" + creative);
  if (behaviour_.openAction) {
    const std::string& action = *behaviour_.openAction;
    click = action == "webapp-html"
                ? "gmsg://ads.example.test/open?a=webapp&html=" +
                      GADNetworkUtilities::encodeURL(webAppHTML(url("/landing?ad=" + creative)))
                : "gmsg://ads.example.test/open?a=" + GADNetworkUtilities::encodeURL(action) +
                      "&u=" + GADNetworkUtilities::encodeURL(click);
  }
  answer.body = behaviour_.adBody ? *behaviour_.adBody : creativeHTML(record.creative, click);
  std::string tracking = url("/zovo/imp?ad=" + creative);
  std::string clickTracking = url("/zovo/clk?ad=" + creative);
  HostileCreatives::Kind hostile = behaviour_.hostile;
  if (behaviour_.everyHostile) {
    const auto kinds = HostileCreatives::all();
    hostile = kinds[nextHostile_++ % kinds.size()];
  }
  if (hostile != HostileCreatives::Kind::None) {
    if (hostile == HostileCreatives::Kind::ReadsTheAdFromALandingPage)
      click = url("/zovo/aclk?ad=" + creative + "&ai=AI" + creative + "&to=" +
                  GADNetworkUtilities::encodeURL(url("/landing/hostile")));
    answer.body = HostileCreatives::html(hostile, click, url("/landing?ad=" + creative), url("/webapp"));
    if (hostile == HostileCreatives::Kind::HugeHeaders) {
      for (int i = 0; i < HostileCreatives::kHugeHeaderURLs; ++i) {
        const std::string n = std::to_string(i);
        tracking.append(" ").append(url("/zovo/imp?ad=" + creative + "&n=" + n));
        clickTracking.append(" ").append(url("/zovo/clk?ad=" + creative + "&n=" + n));
      }
    }
  }
  if (behaviour_.mraid != MRAIDCreatives::Kind::None)
    answer.body = MRAIDCreatives::html(behaviour_.mraid, url("/landing?ad=" + creative));
  if (behaviour_.adTruncated) answer.drop = Answer::Drop::MidBody;
  if (behaviour_.adTrickleSeconds > 0) {
    answer.raw = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                 std::to_string(answer.body.size()) + "\r\n\r\n" + answer.body;
    answer.trickleSeconds = behaviour_.adTrickleSeconds;
  }
  answer.headers.emplace_back("X-Zovo-Tracking-Urls", tracking);
  if (behaviour_.clickTracking || hostile == HostileCreatives::Kind::HugeHeaders)
    answer.headers.emplace_back("X-Zovo-Click-Tracking-Urls", clickTracking);
  if (behaviour_.refreshRate) answer.headers.emplace_back("X-Zovo-Refresh-Rate", *behaviour_.refreshRate);
  if (behaviour_.orientation) answer.headers.emplace_back("X-Zovo-Orientation", *behaviour_.orientation);
  if (behaviour_.interstitialTimeout)
    answer.headers.emplace_back("X-Zovo-Interstitial-Timeout", *behaviour_.interstitialTimeout);
  return answer;
}

std::string AdNetwork::creativeColour(int index) {
  return kCreatives[static_cast<size_t>(index) % kCreativeCount].colour;
}

std::string AdNetwork::creativeHTML(int index, const std::string& clickURL) {
  const Creative& c = kCreatives[static_cast<size_t>(index) % kCreativeCount];
  return std::string(
             "<!DOCTYPE html><html><head><meta name=\"viewport\" content=\"width=320,height=50\"><title>") +
         c.headline +
         "</title><style>"
         "html,body{margin:0;padding:0;overflow:hidden;background:transparent}"
         "a{display:flex;align-items:center;justify-content:space-between;box-sizing:border-box;width:320px;"
         "height:50px;padding:0 12px;color:#fff;font:bold 16px sans-serif;text-decoration:none;background:" +
         c.colour +
         "}small{display:block;font-weight:normal;font-size:11px;opacity:.85}"
         "b{font-size:11px;border:1px solid #fff;border-radius:3px;padding:2px 6px}</style></head><body>"
         "<a id=\"ad\" href=\"" +
         clickURL + "\"><span>" + c.headline + "<small>" + c.tagline + "</small></span><b>Ad</b></a></body></html>";
}

std::optional<std::string> AdNetwork::decodeLocation(const std::string& uule) {
  const auto websafe = GTMStringEncoding::rfc4648Base64WebsafeStringEncoding();
  auto decode = [&](std::string text) -> std::optional<std::vector<std::uint8_t>> {
    // The client leaves the padding out.
    while (text.size() % 4 != 0) text.push_back('=');
    return websafe.decode(text);
  };
  if (uule.starts_with("a+")) {
    auto bytes = decode(uule.substr(2));
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
  }
  if (!uule.starts_with("e1+")) return std::nullopt;
  auto bytes = decode(uule.substr(3));
  if (!bytes || bytes->size() < 32) return std::nullopt;
  platform::Crypto::Block iv{};
  std::copy(bytes->begin(), bytes->begin() + 16, iv.begin());
  const auto key = GADLocation::locationKey();
  auto plain = platform::Crypto::aes128CBCDecrypt(
      key, iv, std::span<const std::uint8_t>(bytes->data() + 16, bytes->size() - 16));
  if (!plain) return std::nullopt;
  return std::string(plain->begin(), plain->end());
}

}  // namespace adnet
