#pragma once

#include <memory>

#include <glib-object.h>

namespace tk::glib {

// Owning pointers for the GLib and GObject values the backend holds; each frees with the
// function GLib pairs with its allocation.
struct ObjectUnref {
    void operator()(gpointer p) const { g_object_unref(p); }
};
struct Free {
    void operator()(gpointer p) const { g_free(p); }
};
struct ErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
struct VariantUnref {
    void operator()(GVariant* v) const { g_variant_unref(v); }
};

template <typename T>
using Object = std::unique_ptr<T, ObjectUnref>;
using String = std::unique_ptr<gchar, Free>;
using Error = std::unique_ptr<GError, ErrorFree>;
using Variant = std::unique_ptr<GVariant, VariantUnref>;

}  // namespace tk::glib
