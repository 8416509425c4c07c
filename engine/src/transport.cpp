#include "engine/transport.h"

namespace engine {

Direction rotate(const Direction& current, const Deflection& pending) {
    Direction turned;
    float cosTheta = pending.sinChi * current.sinTheta * pending.cosAzimuth + current.cosTheta * pending.cosChi;
    // Rounding can carry the cosine just outside [-1, 1]; the sine must stay defined.
    if (cosTheta > 1.0f) cosTheta = 1.0f;
    if (cosTheta < -1.0f) cosTheta = -1.0f;
    turned.cosTheta = cosTheta;
    turned.sinTheta = std::sqrt(1.0f - cosTheta * cosTheta);
    if (turned.sinTheta == 0.0f) {
        // Along the axis the azimuth is undefined; fix it at 0.
        turned.cosPhi = 1.0f;
        turned.sinPhi = 0.0f;
    } else if (current.sinTheta == 0.0f) {
        // From a direction along the axis the deflection azimuth becomes the direction's azimuth.
        turned.sinPhi = pending.sinAzimuth;
        turned.cosPhi = -pending.cosAzimuth;
    } else {
        const float sinDelta = pending.sinAzimuth * pending.sinChi / turned.sinTheta;
        const float cosDelta = (pending.cosChi - current.cosTheta * turned.cosTheta) / (current.sinTheta * turned.sinTheta);
        turned.sinPhi = cosDelta * current.sinPhi + current.cosPhi * sinDelta;
        turned.cosPhi = cosDelta * current.cosPhi - current.sinPhi * sinDelta;
    }
    return turned;
}

}  // namespace engine
