#pragma once

#include <glib-object.h>

#include <memory>
#include <utility>

namespace kavu::ui {

// Owns a C handle through its free function: Handle<cairo_t, cairo_destroy>.
template <auto FreeFn> struct Deleter {
    template <typename T> void operator()(T* p) const {
        if (p)
            FreeFn(p);
    }
};
template <typename T, auto FreeFn> using Handle = std::unique_ptr<T, Deleter<FreeFn>>;

// Holds one reference to a GObject. Adopt takes over a reference the caller
// owns (a *_new result); ref adds one.
template <typename T> class GRef {
public:
    GRef() = default;
    static GRef adopt(T* p) { return GRef(p); }
    static GRef ref(T* p) {
        if (p)
            g_object_ref(p);
        return GRef(p);
    }
    GRef(const GRef& o) : m_ptr(o.m_ptr) {
        if (m_ptr)
            g_object_ref(m_ptr);
    }
    GRef(GRef&& o) noexcept : m_ptr(std::exchange(o.m_ptr, nullptr)) {}
    GRef& operator=(GRef o) noexcept {
        std::swap(m_ptr, o.m_ptr);
        return *this;
    }
    ~GRef() {
        if (m_ptr)
            g_object_unref(m_ptr);
    }
    T* get() const { return m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }

private:
    explicit GRef(T* p) : m_ptr(p) {}
    T* m_ptr = nullptr;
};

} // namespace kavu::ui
