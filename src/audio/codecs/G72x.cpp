#include "audio/codecs/G72x.h"

#include <algorithm>
#include <bit>
#include <iterator>

namespace tonvela {

namespace {

// Per-rate tables of the recommendation: log of the quantized difference (DQLN), scale
// factor multiplier W(I) and speed-control function F(I), indexed by the whole code.
struct RateTables {
    int codeBits;
    const short* dqln;
    const short* w;
    const short* f;
    int wShift;        // W(I) stored scaled down by this many bits
    int zeroLeakShift; // leak of the zero predictor coefficients (8, or 9 at 40 kbit/s)
};

constexpr short kDqln32[16] = {-2048, 4, 135, 213, 273, 323, 373, 425, 425, 373, 323, 273, 213, 135, 4, -2048};
constexpr short kW32[16] = {-12, 18, 41, 64, 112, 198, 355, 1122, 1122, 355, 198, 112, 64, 41, 18, -12};
constexpr short kF32[16] = {0, 0, 0, 0x200, 0x200, 0x200, 0x600, 0xE00, 0xE00, 0x600, 0x200, 0x200, 0x200, 0, 0, 0};

constexpr short kDqln24[8] = {-2048, 135, 273, 373, 373, 273, 135, -2048};
constexpr short kW24[8] = {-128, 960, 4384, 18624, 18624, 4384, 960, -128};
constexpr short kF24[8] = {0, 0x200, 0x400, 0xE00, 0xE00, 0x400, 0x200, 0};

constexpr short kDqln40[32] = {-2048, -66, 28,  104, 169, 224, 274, 318, 358, 395, 429,
                               459,   488, 514, 539, 566, 566, 539, 514, 488, 459, 429,
                               395,   358, 318, 274, 224, 169, 104, 28,  -66, -2048};
constexpr short kW40[32] = {448,   448,   768,   1248,  1280,  1312,  1856,  3200, 4512, 5728, 7008,
                            8960,  11456, 14080, 16928, 22272, 22272, 16928, 14080, 11456, 8960, 7008,
                            5728,  4512,  3200,  1856,  1312,  1280,  1248,  768,   448,  448};
constexpr short kF40[32] = {0,     0,     0,     0,     0,     0x200, 0x200, 0x200, 0x200, 0x200, 0x400,
                            0x600, 0x800, 0xA00, 0xC00, 0xC00, 0xC00, 0xC00, 0xA00, 0x800, 0x600, 0x400,
                            0x200, 0x200, 0x200, 0x200, 0x200, 0,     0,     0,     0,     0};

constexpr RateTables kRate32{4, kDqln32, kW32, kF32, 5, 8};
constexpr RateTables kRate24{3, kDqln24, kW24, kF24, 0, 8};
constexpr RateTables kRate40{5, kDqln40, kW40, kF40, 0, 9};

std::int16_t Short(int v) { return static_cast<std::int16_t>(v); }

// Number of powers of two 1, 2, 4 ... 16384 that do not exceed v: the exponent of the
// recommendation's floating formats.
int Exponent(int v) {
    return v <= 0 ? 0 : std::min(static_cast<int>(std::bit_width(static_cast<unsigned>(v))), 15);
}

// FMULT: multiplies a predictor coefficient by a history value in floating format.
int FloatMultiply(int an, int srn) {
    const int anmag = an > 0 ? an : ((-an) & 0x1FFF);
    const int anexp = Exponent(anmag) - 6;
    const int anmant = anmag == 0 ? 32 : (anexp >= 0 ? anmag >> anexp : anmag << -anexp);
    const int wanexp = anexp + ((srn >> 6) & 0xF) - 13;
    const int wanmant = (anmant * (srn & 0x3F) + 0x30) >> 4;
    const int product = wanexp >= 0 ? ((wanmant << wanexp) & 0x7FFF) : (wanmant >> -wanexp);
    return (an ^ srn) < 0 ? -product : product;
}

// FLOATA/FLOATB: a 16-bit signed magnitude as 4-bit exponent and 6-bit mantissa.
int ToFloat(int magnitude, bool negative) {
    if (magnitude == 0) return negative ? Short(0xFC20) : 0x20;
    const int e = Exponent(magnitude);
    const int v = (e << 6) + ((magnitude << 6) >> e);
    return negative ? v - 0x400 : v;
}

// Mixes the fast and slow scale factors by the speed-control parameter (MIX).
int ScaleFactor(const CG72xState& s) {
    if (s.ap >= 256) return s.yu;
    int y = s.yl >> 6;
    const int dif = s.yu - y;
    const int al = s.ap >> 2;
    if (dif > 0)
        y += (dif * al) >> 6;
    else if (dif < 0)
        y += (dif * al + 0x3F) >> 6;
    return y;
}

// Inverse adaptive quantizer: log-domain difference plus scale factor, back to linear,
// as sign and 15-bit magnitude (negative values carry -0x8000).
int Reconstruct(bool negative, int dqln, int y) {
    const int dql = dqln + (y >> 2);
    if (dql < 0) return negative ? -0x8000 : 0;
    const int dex = (dql >> 7) & 15;
    const int dqt = 128 + (dql & 127);
    const int dq = (dqt << 7) >> (14 - dex);
    return negative ? dq - 0x8000 : dq;
}

// Adapts scale factors, predictor coefficients, tone and transition detectors and the
// speed control after one sample.
void Update(const RateTables& t, int y, int wi, int fi, int dq, int sr, int dqsez, CG72xState& s) {
    const int pk0 = dqsez < 0 ? 1 : 0;
    const int mag = dq & 0x7FFF;

    // Transition detector (TRANS): a large difference right after a tone.
    const int ylint = s.yl >> 15;
    const int ylfrac = (s.yl >> 10) & 0x1F;
    const int thr1 = (32 + ylfrac) << ylint;
    const int thr2 = ylint > 9 ? 31 << 10 : thr1;
    const int dqthr = (thr2 + (thr2 >> 1)) >> 1;
    const bool transition = s.td != 0 && mag > dqthr;

    // Scale factor adaptation (FUNCTW, FILTD, LIMB, FILTE).
    s.yu = Short(std::clamp(y + ((wi - y) >> 5), 544, 5120));
    s.yl += s.yu + ((-s.yl) >> 6);

    int a2p = 0;
    if (transition) {
        s.a[0] = s.a[1] = 0;
        std::fill(std::begin(s.b), std::end(s.b), std::int16_t{0});
    } else {
        // Second pole coefficient (UPA2, LIMC).
        const int pks1 = pk0 ^ s.pk[0];
        a2p = s.a[1] - (s.a[1] >> 7);
        if (dqsez != 0) {
            const int fa1 = pks1 != 0 ? s.a[0] : -s.a[0];
            if (fa1 < -8191)
                a2p -= 0x100;
            else if (fa1 > 8191)
                a2p += 0xFF;
            else
                a2p += fa1 >> 5;
            if ((pk0 ^ s.pk[1]) != 0) {
                if (a2p <= -12160)
                    a2p = -12288;
                else if (a2p >= 12416)
                    a2p = 12288;
                else
                    a2p -= 0x80;
            } else if (a2p <= -12416) {
                a2p = -12288;
            } else if (a2p >= 12160) {
                a2p = 12288;
            } else {
                a2p += 0x80;
            }
        }
        s.a[1] = Short(a2p);

        // First pole coefficient (UPA1, LIMD).
        int a1 = s.a[0] - (s.a[0] >> 8);
        if (dqsez != 0) a1 += pks1 == 0 ? 192 : -192;
        const int a1ul = 15360 - a2p;
        s.a[0] = Short(std::clamp(a1, -a1ul, a1ul));

        // Zero coefficients (UPB). The 16-bit wrap of the reference word width is kept.
        for (int i = 0; i < 6; ++i) {
            int bi = s.b[i] - (s.b[i] >> t.zeroLeakShift);
            if (mag != 0) bi += (dq ^ s.dq[i]) >= 0 ? 128 : -128;
            s.b[i] = Short(bi);
        }
    }

    for (int i = 5; i > 0; --i) s.dq[i] = s.dq[i - 1];
    s.dq[0] = Short(ToFloat(mag, dq < 0));

    s.sr[1] = s.sr[0];
    if (sr > -32768)
        s.sr[0] = Short(sr < 0 ? ToFloat(-sr, true) : ToFloat(sr, false));
    else
        s.sr[0] = Short(0xFC20);

    s.pk[1] = s.pk[0];
    s.pk[0] = Short(pk0);

    // Tone detector (TONE) and speed control (FILTA, FILTB, SUBTC).
    s.td = Short(!transition && a2p < -11776 ? 1 : 0);
    s.dms = Short(s.dms + ((fi - s.dms) >> 5));
    s.dml = Short(s.dml + (((fi << 2) - s.dml) >> 7));
    if (transition) {
        s.ap = 256;
    } else {
        const int diff = (s.dms << 2) - s.dml;
        const bool fast = y < 1536 || s.td == 1 || (diff < 0 ? -diff : diff) >= (s.dml >> 3);
        s.ap = Short(s.ap + (fast ? (0x200 - s.ap) >> 4 : (-s.ap) >> 4));
    }
}

std::int16_t Decode(const RateTables& t, int code, CG72xState& s) {
    const int mask = (1 << t.codeBits) - 1;
    const int i = code & mask;
    const bool negative = (i & (1 << (t.codeBits - 1))) != 0;

    // The signal path works in 16-bit words, as the recommendation's block diagram does.
    int sezi = 0;
    for (int k = 0; k < 6; ++k) sezi += FloatMultiply(s.b[k] >> 2, s.dq[k]);
    sezi = Short(sezi);
    const int sez = sezi >> 1;
    const int se = Short(Short(sezi + FloatMultiply(s.a[1] >> 2, s.sr[1]) + FloatMultiply(s.a[0] >> 2, s.sr[0])) >> 1);

    const int y = Short(ScaleFactor(s));
    const int dq = Short(Reconstruct(negative, t.dqln[i], y));
    const int sr = Short(dq < 0 ? se - (dq & 0x7FFF) : se + dq);
    const int dqsez = Short(sr - se + sez);
    Update(t, y, t.w[i] << t.wShift, t.f[i], dq, sr, dqsez, s);
    // Out-of-range predictions are clipped rather than wrapped into a loud click.
    return Short(std::clamp(sr * 4, -32768, 32767));
}

}  // namespace

void CG72xState::Reset() {
    yl = 34816;
    yu = 544;
    dms = dml = ap = 0;
    for (int i = 0; i < 2; ++i) {
        a[i] = 0;
        pk[i] = 0;
        sr[i] = 32;
    }
    for (int i = 0; i < 6; ++i) {
        b[i] = 0;
        dq[i] = 32;
    }
    td = 0;
}

std::int16_t G721Decode(int code, CG72xState& state) { return Decode(kRate32, code, state); }
std::int16_t G723Decode24(int code, CG72xState& state) { return Decode(kRate24, code, state); }
std::int16_t G723Decode40(int code, CG72xState& state) { return Decode(kRate40, code, state); }

}  // namespace tonvela
