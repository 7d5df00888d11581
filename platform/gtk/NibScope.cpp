#include "platform/gtk/NibScope.h"

#include <string>

#include "platform/Log.h"
#include "platform/ViewController.h"

namespace platform::gtk {

namespace {

struct NibScope {
  GObject parent;
  GtkBuilderScope* fallback;  // GTK's own scope, for type names
  std::weak_ptr<ViewController>* owner;
};

struct NibScopeClass {
  GObjectClass parent_class;
};

void nibScopeInterfaceInit(GtkBuilderScopeInterface* iface);

G_DEFINE_TYPE_WITH_CODE(NibScope, nib_scope, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(GTK_TYPE_BUILDER_SCOPE, nibScopeInterfaceInit))

#define NIB_SCOPE(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), nib_scope_get_type(), NibScope))

void nib_scope_init(NibScope* self) {
  self->fallback = gtk_builder_cscope_new();
  self->owner = new std::weak_ptr<ViewController>();
}

void nibScopeFinalize(GObject* object) {
  auto* self = NIB_SCOPE(object);
  g_object_unref(self->fallback);
  delete self->owner;
  G_OBJECT_CLASS(nib_scope_parent_class)->finalize(object);
}

void nib_scope_class_init(NibScopeClass* klass) { G_OBJECT_CLASS(klass)->finalize = nibScopeFinalize; }

GType getTypeFromName(GtkBuilderScope* scope, GtkBuilder* builder, const char* name) {
  GtkBuilderScope* fallback = NIB_SCOPE(scope)->fallback;
  return GTK_BUILDER_SCOPE_GET_IFACE(fallback)->get_type_from_name(fallback, builder, name);
}

GType getTypeFromFunction(GtkBuilderScope* scope, GtkBuilder* builder, const char* function) {
  GtkBuilderScope* fallback = NIB_SCOPE(scope)->fallback;
  return GTK_BUILDER_SCOPE_GET_IFACE(fallback)->get_type_from_function(fallback, builder, function);
}

// One closure per wired signal: the action's name and a weak reference to
// the controller, so that a signal after the controller's end does nothing.
struct ActionClosure {
  GClosure closure;
  std::string* name;
  std::weak_ptr<ViewController>* owner;
};

GClosure* createClosure(GtkBuilderScope* scope, GtkBuilder*, const char* functionName, GtkBuilderClosureFlags,
                        GObject*, GError**) {
  auto* closure = reinterpret_cast<ActionClosure*>(g_closure_new_simple(sizeof(ActionClosure), nullptr));
  closure->name = new std::string(functionName);
  closure->owner = new std::weak_ptr<ViewController>(*NIB_SCOPE(scope)->owner);
  g_closure_add_finalize_notifier(&closure->closure, nullptr, [](gpointer, GClosure* c) {
    auto* action = reinterpret_cast<ActionClosure*>(c);
    delete action->name;
    delete action->owner;
  });
  // Every action takes the sender and ignores it, so the signal's arguments
  // are not passed on.
  g_closure_set_marshal(&closure->closure, [](GClosure* c, GValue*, guint, const GValue*, gpointer, gpointer) {
    auto* action = reinterpret_cast<ActionClosure*>(c);
    auto owner = action->owner->lock();
    if (!owner) return;
    if (!owner->performAction(*action->name))
      platform::log("no action \"%s\" on %s", action->name->c_str(), owner->className().c_str());
  });
  return &closure->closure;
}

void nibScopeInterfaceInit(GtkBuilderScopeInterface* iface) {
  iface->get_type_from_name = getTypeFromName;
  iface->get_type_from_function = getTypeFromFunction;
  iface->create_closure = createClosure;
}

}  // namespace

GtkBuilderScope* newNibScope(std::weak_ptr<ViewController> owner) {
  auto* scope = static_cast<NibScope*>(g_object_new(nib_scope_get_type(), nullptr));
  *scope->owner = std::move(owner);
  return GTK_BUILDER_SCOPE(scope);
}

}  // namespace platform::gtk
