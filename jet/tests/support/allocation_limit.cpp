#include "support/allocation_limit.h"

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

namespace jet::testing {

namespace {

std::atomic<std::size_t> g_limit{std::numeric_limits<std::size_t>::max()};

// Unused under AddressSanitizer, which keeps its own operator new.
[[maybe_unused]] void* allocate(std::size_t size) {
  if (size > g_limit.load(std::memory_order_relaxed)) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

}  // namespace

AllocationLimit::AllocationLimit(std::size_t max_bytes) : previous_(g_limit.exchange(max_bytes)) {}

AllocationLimit::~AllocationLimit() { g_limit.store(previous_); }

}  // namespace jet::testing

// The replaceable global allocation functions of this test program. The
// aligned and nothrow forms keep their library definitions, which end in
// these or in malloc. Under AddressSanitizer, whose runtime brings its own
// operator new, replacing them would mix two allocators; the sanitized
// variant relies on the plain one for this check.
#ifndef __SANITIZE_ADDRESS__
void* operator new(std::size_t size) { return jet::testing::allocate(size); }
void* operator new[](std::size_t size) { return jet::testing::allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#endif
