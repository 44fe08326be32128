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

// Gives a class hierarchy its memory from the pool; the hierarchy must have a
// virtual destructor, so that delete passes the size of the object's own class.
struct Pooled {
    static void* operator new(size_t size) { return pool_allocate(size); }
    static void operator delete(void* block, size_t size) { pool_release(block, size); }
};

}  // namespace sym
