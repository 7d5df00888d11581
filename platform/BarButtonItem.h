// One item of a toolbar: a system item (drawn by the toolkit), an image, a
// custom view, or flexible space that shares out the toolbar's free width.
// Not a view: the toolbar places the item's peer among its own children.
// The item owns its custom view; the action captures what it needs weakly.
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform {

class Image;
class View;

class BarButtonItemPeer {
 public:
  virtual ~BarButtonItemPeer() = default;
  // The toolkit's own object, for the toolbar's peer to place.
  virtual void* toolkitHandle() = 0;
  virtual void setEnabled(bool enabled) = 0;
  // 0: the toolkit's natural width.
  virtual void setWidth(double width) = 0;
  virtual void setStyle(int style) = 0;
  // Empty: the item is not offered to assistive technologies by that name.
  virtual void setAccessibilityLabel(const std::string& label) = 0;
};

class BarButtonItemClient {
 public:
  virtual ~BarButtonItemClient() = default;
  virtual void peerWasPressed() = 0;
};

class BarButtonItem : public BarButtonItemClient, public std::enable_shared_from_this<BarButtonItem> {
 public:
  // The phone's numbering of system items, of which the desktop draws these.
  enum SystemItem : int {
    kSystemItemNone = -1,
    kSystemItemDone = 0,
    kSystemItemCancel = 1,
    kSystemItemFlexibleSpace = 5,
    kSystemItemAction = 9,
    kSystemItemRefresh = 13,
    kSystemItemStop = 14,
  };
  enum Style : int { kStylePlain = 0, kStyleBordered = 1, kStyleDone = 2 };

  static std::shared_ptr<BarButtonItem> createWithSystemItem(int systemItem, std::function<void()> action = {});
  static std::shared_ptr<BarButtonItem> createWithImage(std::shared_ptr<const Image> image, int style,
                                                        std::function<void()> action);
  static std::shared_ptr<BarButtonItem> createWithCustomView(std::shared_ptr<View> view);

  BarButtonItem(int systemItem, std::shared_ptr<const Image> image, std::shared_ptr<View> customView,
                std::function<void()> action);
  ~BarButtonItem() override;
  BarButtonItem(const BarButtonItem&) = delete;
  BarButtonItem& operator=(const BarButtonItem&) = delete;

  int systemItem() const { return systemItem_; }
  bool isFlexibleSpace() const { return systemItem_ == kSystemItemFlexibleSpace; }
  const std::shared_ptr<const Image>& image() const { return image_; }
  const std::shared_ptr<View>& customView() const { return customView_; }

  double width() const { return width_; }
  void setWidth(double width);
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled);
  int style() const { return style_; }
  void setStyle(int style);
  bool isAccessibilityElement() const { return accessibilityElement_; }
  void setIsAccessibilityElement(bool element);
  const std::string& accessibilityLabel() const { return accessibilityLabel_; }
  void setAccessibilityLabel(std::string label);

  // A press, from the toolkit or a test: runs the action when enabled.
  void press();
  void peerWasPressed() override { press(); }

  // Made on first use; null for flexible space, which the toolbar draws.
  BarButtonItemPeer* peer();

 private:
  void updateAccessibilityLabel();

  int systemItem_;
  std::shared_ptr<const Image> image_;
  std::shared_ptr<View> customView_;
  std::function<void()> action_;
  double width_ = 0;
  bool enabled_ = true;
  int style_ = kStylePlain;
  bool accessibilityElement_ = false;
  std::string accessibilityLabel_;
  std::unique_ptr<BarButtonItemPeer> peer_;
};

}  // namespace platform
