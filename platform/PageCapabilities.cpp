#include "platform/PageCapabilities.h"

#include "platform/Log.h"

namespace platform {

namespace {

struct Row {
  PageCapability capability;
  CapabilityGrant adPages;
  CapabilityGrant browser;
};

// The header's table, row for row.
constexpr Row kRows[] = {
    {PageCapability::Download, CapabilityGrant::Never, CapabilityGrant::WithActivation},
    {PageCapability::Permission, CapabilityGrant::Never, CapabilityGrant::Never},
    {PageCapability::PermissionQuery, CapabilityGrant::Never, CapabilityGrant::Never},
    {PageCapability::Print, CapabilityGrant::Never, CapabilityGrant::WithActivation},
    {PageCapability::Fullscreen, CapabilityGrant::Never, CapabilityGrant::Never},
    {PageCapability::FileChooser, CapabilityGrant::Never, CapabilityGrant::Never},
    {PageCapability::ColorChooser, CapabilityGrant::Never, CapabilityGrant::ToolkitDefault},
    {PageCapability::OptionMenu, CapabilityGrant::Never, CapabilityGrant::ToolkitDefault},
    {PageCapability::ContextMenu, CapabilityGrant::Never, CapabilityGrant::PageItemsOnly},
    {PageCapability::Notification, CapabilityGrant::Never, CapabilityGrant::Never},
    {PageCapability::Authentication, CapabilityGrant::Never, CapabilityGrant::Never},
    {PageCapability::CertificateException, CapabilityGrant::Never, CapabilityGrant::Never},
    {PageCapability::NewWindow, CapabilityGrant::Never, CapabilityGrant::Never},
    {PageCapability::CloseWindow, CapabilityGrant::Never, CapabilityGrant::Never},
    {PageCapability::UserMessage, CapabilityGrant::Never, CapabilityGrant::Never},
};

// A kind of request missing from the table is refused: nothing is granted
// by omission.
constexpr CapabilityGrant kUnlisted = CapabilityGrant::Never;

}  // namespace

CapabilityGrant PageCapabilities::grant(PageCapability capability, WebProcessGroup group) {
  for (const Row& row : kRows)
    if (row.capability == capability) return group == WebProcessGroup::Browsing ? row.browser : row.adPages;
  return kUnlisted;
}

CapabilityAnswer PageCapabilities::answer(PageCapability capability, WebProcessGroup group,
                                          const std::function<bool()>& consumeActivation) {
  switch (grant(capability, group)) {
    case CapabilityGrant::Never: return CapabilityAnswer::Refused;
    case CapabilityGrant::WithActivation:
      return consumeActivation && consumeActivation() ? CapabilityAnswer::Granted : CapabilityAnswer::Refused;
    case CapabilityGrant::PageItemsOnly: return CapabilityAnswer::PageItemsOnly;
    case CapabilityGrant::ToolkitDefault: return CapabilityAnswer::Granted;
  }
  return CapabilityAnswer::Refused;
}

const char* PageCapabilities::name(PageCapability capability) {
  switch (capability) {
    case PageCapability::Download: return "download";
    case PageCapability::Permission: return "permission";
    case PageCapability::PermissionQuery: return "permission query";
    case PageCapability::Print: return "print";
    case PageCapability::Fullscreen: return "full screen";
    case PageCapability::FileChooser: return "file chooser";
    case PageCapability::ColorChooser: return "color chooser";
    case PageCapability::OptionMenu: return "option menu";
    case PageCapability::ContextMenu: return "context menu";
    case PageCapability::Notification: return "notification";
    case PageCapability::Authentication: return "authentication";
    case PageCapability::CertificateException: return "certificate exception";
    case PageCapability::NewWindow: return "new window";
    case PageCapability::CloseWindow: return "close window";
    case PageCapability::UserMessage: return "user message";
  }
  return "unknown";
}

CapabilityAnswer PageCapabilities::ask(PageCapability capability, const std::function<bool()>& consumeActivation,
                                       const std::string& detail) {
  const CapabilityAnswer given = answer(capability, group_, consumeActivation);
  if (given != CapabilityAnswer::Refused) return given;
  std::string what = name(capability);
  if (!detail.empty()) what += ": " + detail;
  if (logged_.insert(what).second)
    log("Refused (%s) for this %s page", printableLogText(what, 200).c_str(),
        group_ == WebProcessGroup::Browsing ? "browser" : "ad");
  return given;
}

void PageCapabilities::noteOnce(const std::string& what) {
  if (logged_.insert(what).second) log("%s", printableLogText(what, 200).c_str());
}

}  // namespace platform
