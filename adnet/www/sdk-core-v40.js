// The sandbox ad network's core script. The ad client runs it in a hidden
// page and calls ZOVO_buildAdURL with its request parameters; the script
// checks them and answers through the message channel: "loadAdURL" with the
// ad URL and the request type, or "invalidRequest" / "unableToServe" with a
// reason. The page's base URL is the ad server's, so the ad URL is made
// against it.
(function () {
  'use strict';
  // The sandbox sets this before the script to make it misbehave.
  var mode = window.ZOVO_SANDBOX_MODE || 'answer';

  function send(name, fields) {
    var query = [];
    for (var key in fields) {
      if (Object.prototype.hasOwnProperty.call(fields, key)) {
        query.push(encodeURIComponent(key) + '=' + encodeURIComponent(fields[key]));
      }
    }
    window.location.href = 'gmsg://zovo/' + name + (query.length ? '?' + query.join('&') : '');
  }

  function problemWith(params) {
    if (!params || typeof params !== 'object') return 'no parameters';
    if (!/^[0-9a-f]{15}$/.test(params.slotname || '')) return 'slotname must be 15 hexadecimal digits';
    if (params.format !== 'interstitial_mb') {
      var frame = params.ad_frame;
      if (!frame || typeof frame.w !== 'number' || typeof frame.h !== 'number') return 'no ad_frame';
    }
    if (typeof params.js !== 'string') return 'no js version';
    return null;
  }

  window.ZOVO_buildAdURL = function (params) {
    if (mode === 'silent') return;
    if (mode === 'unableToServe') return send('unableToServe', { reason: 'no campaign for this slot' });
    var problem = problemWith(params);
    if (mode === 'invalidRequest' || problem) return send('invalidRequest', { reason: problem || 'refused' });
    var query = [];
    for (var key in params) {
      if (!Object.prototype.hasOwnProperty.call(params, key)) continue;
      var value = params[key];
      if (value !== null && typeof value === 'object') value = JSON.stringify(value);
      query.push(encodeURIComponent(key) + '=' + encodeURIComponent(String(value)));
    }
    var ad = new URL((mode === 'redirect' ? 'redirect?' : 'ad?') + query.join('&'), document.baseURI);
    send('loadAdURL', { url: ad.href, type: 'vaver' });
  };
})();
