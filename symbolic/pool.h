#pragma once

#include <cstddef>

namespace sym {

// Memory for the small objects that rules create and drop by the million
// (terms and facts): blocks of a few sizes, each size with a list of freed
// blocks that are handed out again before new memory is taken. Only the
// thread that runs the engine makes and deletes terms and facts. Builds with
// the sanitizers take every block from the global allocator, so that they see
// each object's life.
void* pool_allocate(size_t size);
void pool_release(void* block, size_t size);

// The pool as the allocator of a standard container that rules hold: their
// many small arrays and tree nodes come and go with the rules.
template <class T>
struct PoolAllocator {
    typedef T value_type;
    PoolAllocator() = default;
    template <class U>
    PoolAllocator(const PoolAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(pool_allocate(n * sizeof(T))); }
    void deallocate(T* block, size_t n) { pool_release(block, n * sizeof(T)); }
    template <class U>
    bool operator==(const PoolAllocator<U>&) const {
        return true;
    }
    template <class U>
    bool operator!=(const PoolAllocator<U>&) const {
        return false;
    }
};

// Gives a class hierarchy its memory from the pool; the hierarchy must have a
// virtual destructor, so that delete passes the size of the object's own class.
struct Pooled {
    static void* operator new(size_t size) { return pool_allocate(size); }
    static void operator delete(void* block, size_t size) { pool_release(block, size); }
};

}  // namespace sym
