/* Counts the bytes a program holds on the heap, and the most it held, by standing in
 * front of the C library's allocator (glibc). */
#include "bench/heap_counter.h"

#include <errno.h>
#include <malloc.h>
#include <stdatomic.h>

void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *p, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
void __libc_free(void *p);

static _Atomic long long g_held = 0;
static _Atomic long long g_peak = 0;

static void *noted(void *p) {
    if (p) {
        const long long now = atomic_fetch_add(&g_held, (long long)malloc_usable_size(p)) + (long long)malloc_usable_size(p);
        long long peak = atomic_load(&g_peak);
        while (now > peak && !atomic_compare_exchange_weak(&g_peak, &peak, now)) {
        }
    }
    return p;
}

static void forget(void *p) {
    if (p) atomic_fetch_sub(&g_held, (long long)malloc_usable_size(p));
}

void *malloc(size_t size) { return noted(__libc_malloc(size)); }
void *calloc(size_t count, size_t size) { return noted(__libc_calloc(count, size)); }
void *memalign(size_t alignment, size_t size) { return noted(__libc_memalign(alignment, size)); }
void *aligned_alloc(size_t alignment, size_t size) { return noted(__libc_memalign(alignment, size)); }

int posix_memalign(void **out, size_t alignment, size_t size) {
    void *p = __libc_memalign(alignment, size);
    if (!p) return ENOMEM;
    *out = noted(p);
    return 0;
}

void *realloc(void *p, size_t size) {
    const long long before = p ? (long long)malloc_usable_size(p) : 0;
    void *q = __libc_realloc(p, size);
    if (q) {
        atomic_fetch_sub(&g_held, before);
        noted(q);
    }
    return q;
}

void free(void *p) {
    forget(p);
    __libc_free(p);
}

long long heap_held(void) { return atomic_load(&g_held); }
long long heap_peak(void) { return atomic_load(&g_peak); }
void heap_reset_peak(void) { atomic_store(&g_peak, atomic_load(&g_held)); }
