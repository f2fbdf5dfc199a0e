#include "common/rounding.h"

#include <cmath>
#include <limits>

namespace tf {

double RoundHalfEven(double value) {
    // nearbyint rounds in the current mode, which is to-nearest-even unless changed.
    return std::nearbyint(value);
}

qint32 RoundHalfEvenInt32(double value) {
    if (std::isnan(value)) return 0;
    const double r = RoundHalfEven(value);
    if (r >= double(std::numeric_limits<qint32>::max())) return std::numeric_limits<qint32>::max();
    if (r <= double(std::numeric_limits<qint32>::min())) return std::numeric_limits<qint32>::min();
    return static_cast<qint32>(r);
}

}  // namespace tf
