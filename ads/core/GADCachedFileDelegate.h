// What a cached file tells its delegate. Every operation is called.
#pragma once

#include <optional>

#include "platform/Error.h"
#include "platform/URL.h"

class GADCachedFile;

class GADCachedFileDelegate {
 public:
  virtual ~GADCachedFileDelegate() = default;
  // The file on disk is current: freshly written, or confirmed by a 304.
  virtual void cachedFileDownloadDidEnd(GADCachedFile& file) = 0;
  // The fetch ended without a current file; `error` is null where the
  // failure has no error (an HTTP status other than 200 and 304).
  virtual void cachedFileDownloadDidFail(GADCachedFile& file, const platform::Error* error) = 0;
  // Asked before each redirect: nullopt lets it proceed, an error stops the
  // fetch and is reported through cachedFileDownloadDidFail.
  virtual std::optional<platform::Error> cachedFileShouldRedirectToURL(GADCachedFile& file,
                                                                       const platform::URL& url) = 0;
};
