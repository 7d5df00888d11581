// Resolves the handler names of an interface file ("playSound:") to the
// owning view controller's actions of the same name.
#pragma once

#include <gtk/gtk.h>

#include <memory>

namespace platform {
class ViewController;
}

namespace platform::gtk {

// A new GtkBuilderScope whose closures call performAction on `owner` while
// it lives; types are looked up as GTK's own scope does.
GtkBuilderScope* newNibScope(std::weak_ptr<ViewController> owner);

}  // namespace platform::gtk
