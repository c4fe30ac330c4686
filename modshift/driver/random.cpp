#include "modshift/driver/random.hpp"

namespace lw::modshift {

void Random::seed()
{
    state_ = 0xFFFFFFFF;
    for (int i = 0; i < 1000; ++i)
        next(0);
}

std::uint32_t Random::next(std::uint32_t n)
{
    if (state_ & 0x10000)
        state_ = (state_ * 2u + 1u) ^ 0x800u;
    else
        state_ = state_ * 2u;
    return ((state_ & 0xFFFFu) * n) >> 16;
}

} // namespace lw::modshift
