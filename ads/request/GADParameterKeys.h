// The keys of the request parameter dictionary; statistics timings are
// named by the same constants.
#pragma once

inline constexpr const char* kGADParameterIPadCompatibilityMode = "ios_ipadc";
inline constexpr const char* kGADParameterITunesMetadata = "ios_metadata";
inline constexpr const char* kGADApplicationName = "app_name";
inline constexpr const char* kGADParameterJailbroken = "ios_jb";
inline constexpr const char* kGADParameterDeviceID = "isu";
inline constexpr const char* kGADParameterDeviceModel = "platform";
inline constexpr const char* kGADParameterDeviceSubmodel = "submodel";
inline constexpr const char* kGADParameterLocale = "hl";
inline constexpr const char* kGADParameterAudioOutput = "u_audio";
inline constexpr const char* kGADParameterScreenOrientation = "u_so";
inline constexpr const char* kGADParameterScreenDensity = "u_sd";
inline constexpr const char* kGADParameterScreenWidth = "u_w";
inline constexpr const char* kGADParameterScreenHeight = "u_h";
inline constexpr const char* kGADParameterCapabilitiesBookstore = "cap_bs";
inline constexpr const char* kGADParameterSDKVersion = "js";
inline constexpr const char* kGADParameterNetworkType = "net";
inline constexpr const char* kGADParameterTesting = "testing";
inline constexpr const char* kGADParameterTestMode = "adtest";
inline constexpr const char* kGADParameterExtraParams = "extras";
inline constexpr const char* kGADParameterGender = "cust_gender";
inline constexpr const char* kGADParameterBirthday = "cust_age";
inline constexpr const char* kGADParameterKeywords = "kw";
inline constexpr const char* kGADParameterLocation = "uule";
inline constexpr const char* kGADParameterPriorRequestLatency = "prl";
inline constexpr const char* kGADParameterPriorClickLatency = "pcl";
inline constexpr const char* kGADParameterPriorPreClickLatency = "ppcl";
inline constexpr const char* kGADParameterPriorClickRedirectLatency = "pcrl";
inline constexpr const char* kGADParameterPriorLandingPageLoad = "plpl";
inline constexpr const char* kGADParameterPriorLandingPageDuration = "plpd";
inline constexpr const char* kGADParameterTimeSinceFirstRequest = "ptime";
inline constexpr const char* kGADParameterPriorClickString = "pai";
inline constexpr const char* kGADParameterPriorImpressionTicketString = "pit";
inline constexpr const char* kGADParameterPriorClickBreakOut = "pcbo";
inline constexpr const char* kGADParameterAppOpenInterstitialTimedOut = "aoi_timedout";
inline constexpr const char* kGADParameterAppOpenInterstitialNoFill = "aoi_nofill";
inline constexpr const char* kGADParameterPriorClickBackgroundedApp = "pclb";
inline constexpr const char* kGADParameterPriorLandingPageNavCount = "plpnc";
inline constexpr const char* kGADParameterPriorLandingPageSSLNavCount = "plpsnc";
inline constexpr const char* kGADParameterPriorClickCount = "pcc";
inline constexpr const char* kGADParameterTotalAdRequests = "preqs";
inline constexpr const char* kGADParameterAdSlotID = "slotname";
inline constexpr const char* kGADParameterAdFormat = "format";
inline constexpr const char* kGADParameterAdFrame = "ad_frame";
