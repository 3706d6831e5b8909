#pragma once
// Intrusive reference counting in the engine family's style: objects start
// with one reference owned by their creator, `autorelease` hands that one to
// the main thread's pool, which drops it at the end of the frame.
#include <atomic>
#include <cstddef>
#include <utility>
#include <vector>

namespace engine {

class Ref {
public:
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;

    void retain() { _referenceCount.fetch_add(1, std::memory_order_relaxed); }
    void release();
    Ref* autorelease();
    unsigned getReferenceCount() const { return _referenceCount.load(std::memory_order_acquire); }

protected:
    Ref() = default;
    virtual ~Ref() = default;

private:
    std::atomic<unsigned> _referenceCount{1};
};

// The main thread's pool. Only the main thread autoreleases; workers hold
// RefPtrs instead.
class AutoreleasePool {
public:
    static AutoreleasePool* getInstance();
    void addObject(Ref* object) { _objects.push_back(object); }
    // Drops one reference of every pooled object; objects released during
    // the drain that autorelease again go into the next frame's pool.
    void clear();
    bool contains(const Ref* object) const;
    size_t size() const { return _objects.size(); }

private:
    std::vector<Ref*> _objects;
};

// The second step of two-step construction, for every `create`: `fresh` is
// a new object holding its one reference. When `init(fresh)` accepts it,
// that reference goes to the autorelease pool and the object is returned;
// otherwise the object is freed and null returned.
template <typename T, typename Init>
T* initAndAutorelease(T* fresh, Init&& init) {
    if (!init(fresh)) {
        fresh->release();
        return nullptr;
    }
    fresh->autorelease();
    return fresh;
}

template <typename T>
T* initAndAutorelease(T* fresh) {
    return initAndAutorelease(fresh, [](T* object) { return object->init(); });
}

// Owning pointer over an intrusive count: copies retain, destruction releases.
template <typename T>
class RefPtr {
public:
    RefPtr() = default;
    RefPtr(std::nullptr_t) {}
    RefPtr(T* p) : _ptr(p) { if (_ptr) _ptr->retain(); }
    RefPtr(const RefPtr& o) : RefPtr(o._ptr) {}
    RefPtr(RefPtr&& o) noexcept : _ptr(o._ptr) { o._ptr = nullptr; }
    template <typename U>
    RefPtr(const RefPtr<U>& o) : RefPtr(static_cast<T*>(o.get())) {}
    ~RefPtr() { if (_ptr) _ptr->release(); }

    RefPtr& operator=(const RefPtr& o) { reset(o._ptr); return *this; }
    // The moved-from pointer is left empty; what this one held is let go.
    RefPtr& operator=(RefPtr&& o) noexcept {
        if (this != &o) {
            T* old = _ptr;
            _ptr = o._ptr;
            o._ptr = nullptr;
            if (old) old->release();
        }
        return *this;
    }
    RefPtr& operator=(T* p) { reset(p); return *this; }
    RefPtr& operator=(std::nullptr_t) { reset(nullptr); return *this; }

    void reset(T* p = nullptr) {
        if (p) p->retain();
        T* old = _ptr;
        _ptr = p;
        if (old) old->release();
    }
    // Takes over a reference the caller already owns (a fresh `new`).
    static RefPtr adopt(T* p) { RefPtr r; r._ptr = p; return r; }

    T* get() const { return _ptr; }
    T* operator->() const { return _ptr; }
    T& operator*() const { return *_ptr; }
    explicit operator bool() const { return _ptr != nullptr; }
    operator T*() const { return _ptr; }

private:
    T* _ptr = nullptr;
};

// A list that retains its elements for as long as they are in it.
template <typename T>
class Vector {
public:
    Vector() = default;
    Vector(const Vector&) = default;
    Vector& operator=(const Vector&) = default;

    void pushBack(T p) { _items.emplace_back(p); }
    void insert(size_t i, T p) { _items.insert(_items.begin() + static_cast<std::ptrdiff_t>(i), RefPtr<std::remove_pointer_t<T>>(p)); }
    void eraseObject(T p) {
        for (auto it = _items.begin(); it != _items.end(); ++it)
            if (it->get() == p) { _items.erase(it); return; }
    }
    void erase(size_t i) { _items.erase(_items.begin() + static_cast<std::ptrdiff_t>(i)); }
    void clear() { _items.clear(); }
    bool contains(T p) const { return getIndex(p) >= 0; }
    long getIndex(T p) const {
        for (size_t i = 0; i < _items.size(); ++i) if (_items[i].get() == p) return static_cast<long>(i);
        return -1;
    }
    T at(size_t i) const { return _items.at(i).get(); }
    T front() const { return _items.front().get(); }
    T back() const { return _items.back().get(); }
    size_t size() const { return _items.size(); }
    bool empty() const { return _items.empty(); }

    class const_iterator {
    public:
        using Inner = typename std::vector<RefPtr<std::remove_pointer_t<T>>>::const_iterator;
        explicit const_iterator(Inner i) : _i(i) {}
        T operator*() const { return _i->get(); }
        const_iterator& operator++() { ++_i; return *this; }
        bool operator!=(const const_iterator& o) const { return _i != o._i; }
        bool operator==(const const_iterator& o) const { return _i == o._i; }
    private:
        Inner _i;
    };
    const_iterator begin() const { return const_iterator(_items.begin()); }
    const_iterator end() const { return const_iterator(_items.end()); }

private:
    std::vector<RefPtr<std::remove_pointer_t<T>>> _items;
};

} // namespace engine
