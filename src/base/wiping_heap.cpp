// The program's operator new and delete: every block is zeroed before it is freed, over the
// size it was asked for when the delete names it, else over its whole usable size. The JSON library
// keeps the raw bytes of every token it reads in buffers of the standard allocator that grow and
// die unwiped, and so does much else the program does not own; this reaches all of them. Linked
// into the executables only (see CMakeLists.txt).

#include <malloc.h>
#include <sodium.h>

#include <cstdlib>
#include <new>

namespace {

void* allocate(std::size_t size) {
    for (;;) {
        if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

void* allocate_aligned(std::size_t size, std::align_val_t alignment) {
    const auto align = static_cast<std::size_t>(alignment);
    for (;;) {
        void* p = nullptr;
        if (::posix_memalign(&p, align < sizeof(void*) ? sizeof(void*) : align,
                             size == 0 ? 1 : size) == 0) {
            return p;
        }
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

void release(void* p) noexcept {
    if (p == nullptr) return;
    sodium_memzero(p, ::malloc_usable_size(p));
    std::free(p);
}

// A sized delete names the size the block was asked for, and the program wrote nothing beyond
// it: zeroing that much is enough, without asking malloc for the usable size.
void release(void* p, std::size_t size) noexcept {
    if (p == nullptr) return;
    sodium_memzero(p, size);
    std::free(p);
}

}  // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t& /*unused*/) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& /*unused*/) noexcept {
    return ::operator new(size, std::nothrow);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocate_aligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocate_aligned(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment,
                   const std::nothrow_t& /*unused*/) noexcept {
    try {
        return allocate_aligned(size, alignment);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, std::align_val_t alignment,
                     const std::nothrow_t& /*unused*/) noexcept {
    return ::operator new(size, alignment, std::nothrow);
}

void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t size) noexcept {
    release(p, size);
}
void operator delete[](void* p, std::size_t size) noexcept {
    release(p, size);
}
void operator delete(void* p, const std::nothrow_t& /*unused*/) noexcept {
    release(p);
}
void operator delete[](void* p, const std::nothrow_t& /*unused*/) noexcept {
    release(p);
}
void operator delete(void* p, std::align_val_t /*unused*/) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t /*unused*/) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t size, std::align_val_t /*unused*/) noexcept {
    release(p, size);
}
void operator delete[](void* p, std::size_t size, std::align_val_t /*unused*/) noexcept {
    release(p, size);
}
void operator delete(void* p, std::align_val_t /*unused*/,
                     const std::nothrow_t& /*unused*/) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t /*unused*/,
                       const std::nothrow_t& /*unused*/) noexcept {
    release(p);
}
