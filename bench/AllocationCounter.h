/* The number of heap allocations the process has made so far, counted by
 * AllocationCounter.c in place of the C library's allocation functions. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

unsigned long korvo_bench_allocations(void);

#ifdef __cplusplus
}
#endif
