// A line or a few of text, wrapped to the view's width and centred.
#pragma once

#include <memory>
#include <string>

#include "platform/View.h"

namespace platform {

class LabelPeer : public ViewPeer {
 public:
  virtual void setText(const std::string& text) = 0;
};

class Label : public View {
 public:
  static std::shared_ptr<Label> create(const Rect& frame, std::string text = {});
  Label(const Rect& frame, std::string text);

  const std::string& text() const { return text_; }
  void setText(std::string text);

 protected:
  std::unique_ptr<ViewPeer> makePeer(PeerFactory& peers) override;

 private:
  std::string text_;
  LabelPeer* labelPeer_ = nullptr;  // the view's peer, typed
};

}  // namespace platform
