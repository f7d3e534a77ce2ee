/* Heap use of the whole program, as counted by heap_counter.c. */
#ifndef BENCH_HEAP_COUNTER_H
#define BENCH_HEAP_COUNTER_H

#ifdef __cplusplus
extern "C" {
#endif

long long heap_held(void);       /* bytes held now */
long long heap_peak(void);       /* the most held since the last reset */
void heap_reset_peak(void);

#ifdef __cplusplus
}
#endif

#endif
