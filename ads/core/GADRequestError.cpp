#include "ads/core/GADRequestError.h"

#include <cstdio>

#include "ads/request/GADIdentifierUtilities.h"
#include "ads/request/GADRequest.h"

GADRequestError::GADRequestError(long code, const GADRequest* request) : code_(code) {
  const std::string message = localizedStringForErrorCode(code);
  userInfo_.set(kGADLocalizedDescriptionKey, message);
  userInfo_.set(kGADLocalizedFailureReasonErrorKey, message);
  if (code == kGADErrorInvalidRequest && request) userInfo_.merge(request->parameters());
}

std::string GADRequestError::localizedDescription() const {
  const platform::Value* message = userInfo_.find(kGADLocalizedDescriptionKey);
  return message && message->isString() ? *message->asString() : std::string();
}

std::string GADRequestError::localizedStringForErrorCode(long code) {
  const char* text = nullptr;
  char osText[160];
  switch (code) {
    case kGADErrorNoFill: text = "No ad to show."; break;
    case kGADErrorNetworkError: text = "A network error occurred."; break;
    case kGADErrorServerError: text = "Server error processing the request."; break;
    case kGADErrorOSVersionTooLow: {
      int major = 0, minor = 0, bugFix = 0;
      GADIdentifierUtilities::getOSMajorMinorBugFix(&major, &minor, &bugFix);
      std::snprintf(osText, sizeof osText, "This device's OS is %i.%i.%i.  It is below the minimum of %i.%i.", major,
                    minor, bugFix, 3, 0);
      text = osText;
      break;
    }
    case kGADErrorTimeout:
      text = "The Rezido Ad request was unable to be fulfilled before a timeout occurred.";
      break;
    default: text = "Invalid ad request parameter(s).  Check the Xcode console for details.";
  }
  return std::string("Request Error: ") + text;
}
