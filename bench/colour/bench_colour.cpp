// Nanoseconds per pair for each ΔE formula over one million random pairs, and the number of
// heap allocations made while timing (must be 0: the formulas are pure arithmetic).

#include "deltae.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

namespace {
std::atomic<long> allocations{0};
}

void *operator new(std::size_t size)
{
    ++allocations;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

int main(int argc, char **argv)
{
    const long count = argc > 1 ? std::atol(argv[1]) : 1000000;
    if (count <= 0) {
        std::fprintf(stderr, "usage: %s [pairs]\n", argv[0]);
        return 1;
    }

    std::mt19937_64 gen(1976);
    std::uniform_real_distribution<double> l(0.0, 100.0), ab(-128.0, 128.0);
    std::vector<LabColor> standards(count), samples(count);
    for (long i = 0; i < count; ++i) {
        standards[i] = {l(gen), ab(gen), ab(gen)};
        samples[i] = {l(gen), ab(gen), ab(gen)};
    }

    static const char *const names[] = {"dE*ab", "dE*uv", "dE*94", "CMC(2:1)", "CMC(1:1)",
                                        "CIEDE2000"};
    std::printf("%ld random pairs\n", count);
    for (int f = 0; f < 6; ++f) {
        const long before = allocations.load();
        const auto start = std::chrono::steady_clock::now();
        double sum = 0.0;
        for (long i = 0; i < count; ++i)
            sum += computeDeltaE(f, standards[i], samples[i]);
        const auto stop = std::chrono::steady_clock::now();
        const long allocated = allocations.load() - before;
        const double ns = std::chrono::duration<double, std::nano>(stop - start).count() / count;
        // The sum is printed so the loop cannot be optimised away.
        std::printf("%-10s %8.1f ns/pair  allocations %ld  (mean dE %.4f)\n", names[f], ns,
                    allocated, sum / count);
    }
    return 0;
}
