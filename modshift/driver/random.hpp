#pragma once
#include <cstdint>

namespace lw::modshift {

// The run's one random number generator: a 32-bit shift register, seeded the
// same way every run so conversions are repeatable.
class Random {
public:
    // State 0xFFFFFFFF, then 1000 warm-up draws.
    void seed();
    // One step; a whole number from 0 to n - 1 (0 when n is 0).
    std::uint32_t next(std::uint32_t n);
    std::uint32_t state() const { return state_; }

private:
    std::uint32_t state_ = 0xFFFFFFFF;
};

} // namespace lw::modshift
