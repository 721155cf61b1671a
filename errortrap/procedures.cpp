#include "errortrap/procedures.h"

#include <array>
#include <cstddef>

namespace zarn {

namespace {
constexpr std::array kLocations{
#define ZARN_PROC_LOCATION(module, name) "zarn." #module "." #name,
    ZARN_TRAPPING_PROCEDURES(ZARN_PROC_LOCATION)
#undef ZARN_PROC_LOCATION
};
}  // namespace

const char* LocationOf(Proc p) { return kLocations[static_cast<size_t>(p)]; }

}  // namespace zarn
