#pragma once
// Intrusive reference counting shared by every engine and script object.
#include <cstdint>
#include <type_traits>

namespace Zeb::Kamblo {

class Object {
public:
    Object() = default;
    // A copied object is a new object: it starts with its own single owner.
    Object(const Object&) {}
    Object& operator=(const Object&) { return *this; }
    virtual ~Object() = default;

    virtual const char* toString() const { return ""; }

    void retain() { ++refCount; }
    void release()
    {
        if (--refCount == 0)
            delete this;
    }

    int32_t refCount = 1;
};

// Untyped owning handle; Pointer<T> adds the type on top.
class PointerBase {
public:
    Object* object() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

protected:
    PointerBase() = default;
    explicit PointerBase(Object* o) : object_(o)
    {
        if (object_)
            object_->retain();
    }
    PointerBase(const PointerBase& other) : PointerBase(other.object_) {}
    ~PointerBase()
    {
        if (object_)
            object_->release();
    }
    // Take the new count before dropping the old one so self-assignment is safe.
    void assign(Object* o)
    {
        if (o)
            o->retain();
        Object* old = object_;
        object_ = o;
        if (old)
            old->release();
    }

    Object* object_ = nullptr;
};

template <class T>
class Pointer : public PointerBase {
public:
    Pointer() = default;
    Pointer(std::nullptr_t) {}
    Pointer(T* p) : PointerBase(p) {}
    Pointer(const Pointer& other) : PointerBase(other) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Pointer(const Pointer<U>& other) : PointerBase(static_cast<T*>(other.get()))
    {
    }

    Pointer& operator=(const Pointer& other)
    {
        assign(other.object_);
        return *this;
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Pointer& operator=(const Pointer<U>& other)
    {
        assign(static_cast<T*>(other.get()));
        return *this;
    }
    Pointer& operator=(std::nullptr_t)
    {
        assign(nullptr);
        return *this;
    }

    T* get() const { return static_cast<T*>(object_); }
    T* operator->() const { return get(); }
    T& operator*() const { return *get(); }

    friend bool operator==(const Pointer& a, const Pointer& b) { return a.object_ == b.object_; }
    friend bool operator==(const Pointer& a, std::nullptr_t) { return a.object_ == nullptr; }
};

// Wraps a freshly made object (count 1) so the returned pointer is its only owner.
template <class T>
Pointer<T> autorelease(T* fresh)
{
    Pointer<T> p(fresh);
    fresh->release();
    return p;
}

} // namespace Zeb::Kamblo
