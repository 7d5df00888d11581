// A rectangle of the screen with a hierarchy of subviews. The frame, the
// hierarchy and the flags live here, in memory; the toolkit's peer mirrors
// them. Views are made through create (or make, for subclasses), which
// attaches the peer once the view is owned, so that the peer can refer back
// to it weakly. Main thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Geometry.h"

namespace platform {

class PeerFactory;
class ViewPeer;

enum class Animated { No, Yes };

// What assistive technologies are told a view is. Default keeps the
// toolkit's own for the kind (a button is a button; a plain view is a
// nameless container of its subviews).
enum class AccessibleRole { Default, Group, Region };

struct Color {
  double red = 0, green = 0, blue = 0, alpha = 0;
  static constexpr Color clear() { return {0, 0, 0, 0}; }
  static constexpr Color white() { return {1, 1, 1, 1}; }
  static constexpr Color black() { return {0, 0, 0, 1}; }
  bool operator==(const Color&) const = default;
  // CSS "rgba(r,g,b,a)", components clamped to their ranges.
  std::string cssText() const;
};

// Which edges and sizes follow the parent's size, as bit flags.
enum AutoresizingMask : unsigned {
  kAutoresizingNone = 0,
  kAutoresizingFlexibleLeftMargin = 1u << 0,
  kAutoresizingFlexibleWidth = 1u << 1,
  kAutoresizingFlexibleRightMargin = 1u << 2,
  kAutoresizingFlexibleTopMargin = 1u << 3,
  kAutoresizingFlexibleHeight = 1u << 4,
  kAutoresizingFlexibleBottomMargin = 1u << 5,
};

class View : public std::enable_shared_from_this<View> {
 public:
  static std::shared_ptr<View> create(const Rect& frame);
  // A view around a peer that the toolkit already made (a loaded nib).
  static std::shared_ptr<View> createWithPeer(const Rect& frame, std::unique_ptr<ViewPeer> peer);
  // A view of kind T made with `args`, then given the peer of its kind.
  template <class T, class... Args>
  static std::shared_ptr<T> make(Args&&... args) {
    auto view = std::make_shared<T>(std::forward<Args>(args)...);
    view->attachPeer();
    return view;
  }

  explicit View(const Rect& frame);
  virtual ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  Rect frame() const { return frame_; }
  void setFrame(const Rect& frame);
  Rect bounds() const { return frame_.bounds(); }

  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden);
  // Whether pointer and key events reach this view and its subviews.
  bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
  void setUserInteractionEnabled(bool enabled);
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque) { opaque_ = opaque; }
  bool clipsToBounds() const { return clipsToBounds_; }
  void setClipsToBounds(bool clips) { clipsToBounds_ = clips; }
  unsigned autoresizingMask() const { return autoresizingMask_; }
  void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
  Color backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(const Color& color);
  // What assistive technologies announce: empty leaves the toolkit's own (a
  // button's title). The role is taken once, before the view is first shown.
  const std::string& accessibleName() const { return accessibleName_; }
  void setAccessibleName(std::string name);
  AccessibleRole accessibleRole() const { return accessibleRole_; }
  void setAccessibleRole(AccessibleRole role);

  // Not retained: a subview's superview owns it.
  View* superview() const { return superview_; }
  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  // Adds `view` on top of the other subviews, first taking it from its old
  // superview.
  void addSubview(const std::shared_ptr<View>& view);
  void removeFromSuperview();

  ViewPeer* peer() const { return peer_.get(); }

 protected:
  // The peer of this kind of view; kinds with their own peer interface
  // override it. Called once, when the view is already owned.
  virtual std::unique_ptr<ViewPeer> makePeer(PeerFactory& peers);

 private:
  void attachPeer();
  // Takes `peer` and brings it up to date: frame, flags, colour, children.
  void setPeer(std::unique_ptr<ViewPeer> peer);

  Rect frame_;
  bool hidden_ = false;
  bool userInteractionEnabled_ = true;
  bool opaque_ = true;
  bool clipsToBounds_ = false;
  unsigned autoresizingMask_ = kAutoresizingNone;
  Color backgroundColor_ = Color::clear();
  std::string accessibleName_;
  AccessibleRole accessibleRole_ = AccessibleRole::Default;
  View* superview_ = nullptr;
  std::vector<std::shared_ptr<View>> subviews_;
  std::unique_ptr<ViewPeer> peer_;
};

// The toolkit's side of one view.
class ViewPeer {
 public:
  virtual ~ViewPeer() = default;
  // The toolkit's own object (a GtkWidget in the GTK toolkit), for placing
  // one peer in another; only peers of one toolkit ever meet.
  virtual void* toolkitHandle() = 0;
  virtual void setFrame(const Rect& frame) = 0;
  virtual void setHidden(bool hidden) = 0;
  virtual void setBackgroundColor(const Color&) {}
  virtual void setUserInteractionEnabled(bool enabled) = 0;
  virtual void setAccessibleName(const std::string& name) = 0;
  virtual void setAccessibleRole(AccessibleRole role) = 0;
  // Places `child` on top of the other children at `frame`.
  virtual void addChild(ViewPeer& child, const Rect& frame) = 0;
  virtual void removeChild(ViewPeer& child) = 0;
};

}  // namespace platform
