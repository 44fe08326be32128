#include "symbolic/pool.h"

#include <new>
#include <vector>

namespace sym {

#ifdef VORN_NO_POOL

void* pool_allocate(size_t size) { return ::operator new(size); }
void pool_release(void* block, size_t) { ::operator delete(block); }

#else

namespace {

const size_t GRAIN = 8;
const size_t CLASSES = 32;  // blocks of up to 256 bytes, in steps of 8: less room lost than in steps of 16
const size_t CHUNK = 32 * 1024;

struct FreeBlock {
    FreeBlock* next;
};

struct Pool {
    FreeBlock* free[CLASSES] = {};
    char* chunk = nullptr;
    size_t left = 0;

    void* allocate(size_t size) {
        size_t c = (size + GRAIN - 1) / GRAIN - 1;
        if (FreeBlock* block = free[c]) {
            free[c] = block->next;
            return block;
        }
        size_t bytes = (c + 1) * GRAIN;
        if (left < bytes) {
            // The rest of the old chunk is too small for this size; it is left unused.
            chunk = static_cast<char*>(::operator new(CHUNK));
            left = CHUNK;
        }
        void* block = chunk;
        chunk += bytes;
        left -= bytes;
        return block;
    }

    void release(void* block, size_t size) {
        size_t c = (size + GRAIN - 1) / GRAIN - 1;
        FreeBlock* freed = static_cast<FreeBlock*>(block);
        freed->next = free[c];
        free[c] = freed;
    }
};

// Chunks live until the process ends: blocks are still in use by static
// objects' destructors at exit.
Pool& pool() {
    static Pool* instance = new Pool;
    return *instance;
}

}  // namespace

void* pool_allocate(size_t size) {
    if (size == 0 || size > GRAIN * CLASSES) return ::operator new(size);
    return pool().allocate(size);
}

void pool_release(void* block, size_t size) {
    if (block == nullptr) return;
    if (size == 0 || size > GRAIN * CLASSES) {
        ::operator delete(block);
        return;
    }
    pool().release(block, size);
}

#endif

}  // namespace sym
