/* Counts every heap allocation of the process: this executable's definitions
 * of the C allocation functions take the place of the C library's for every
 * shared object loaded, libkorvocomm.so and the C++ runtime's operator new
 * included, and hand the work on to glibc's own allocator. */
#include <errno.h>
#include <stddef.h>
#include <stdint.h>

#include "AllocationCounter.h"

void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);

static unsigned long allocations;

static void Count(void) {
    __atomic_add_fetch(&allocations, 1, __ATOMIC_RELAXED);
}

unsigned long korvo_bench_allocations(void) {
    return __atomic_load_n(&allocations, __ATOMIC_RELAXED);
}

void* malloc(size_t size) {
    Count();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    Count();
    return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
    Count();
    return __libc_realloc(block, size);
}

void* reallocarray(void* block, size_t count, size_t size) {
    if (size != 0 && count > SIZE_MAX / size) {
        errno = ENOMEM;
        return NULL;
    }
    return realloc(block, count * size);
}

void* memalign(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    return memalign(alignment, size);
}

int posix_memalign(void** block, size_t alignment, size_t size) {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* p = memalign(alignment, size);
    if (!p) return ENOMEM;
    *block = p;
    return 0;
}

void* valloc(size_t size) {
    Count();
    return __libc_valloc(size);
}

void* pvalloc(size_t size) {
    Count();
    return __libc_pvalloc(size);
}
