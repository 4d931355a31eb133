// The forward DCT's butterflies, shared by the scalar transform and the
// vector kernel: V is int32_t or a vector of them, Mul<K, N>::Of(x) gives
// (x * K + 2^(N-1)) >> N exactly.
//
// One 8-point transform by recursive halving: the sums go to a half-size
// transform giving the even outputs, the differences divided by
// 2 cos((2n+1) pi / 2N) to another giving the odd outputs as neighbour sums.
// Output 0 is the plain sum, outputs 1..7 are scaled by sqrt(2), so that two
// passes give 8 x F(u,v).
#pragma once

namespace pixmill::alder {

template <class V, template <int, int> class Mul>
inline __attribute__((always_inline)) void Transform8(V* v, int stride) {
    const V x0 = v[0], x1 = v[stride], x2 = v[2 * stride], x3 = v[3 * stride];
    const V x4 = v[4 * stride], x5 = v[5 * stride], x6 = v[6 * stride], x7 = v[7 * stride];
    // Even half.
    const V g0 = x0 + x7, g1 = x1 + x6, g2 = x2 + x5, g3 = x3 + x4;
    const V s0 = g0 + g3, s1 = g1 + g2;
    const V d0 = Mul<17734, 15>::Of(g0 - g3), d1 = Mul<21407, 14>::Of(g1 - g2);
    const V e0 = s0 + s1, e2 = Mul<23171, 15>::Of(s0 - s1);
    const V f1 = Mul<23171, 15>::Of(d0 - d1);
    const V e1 = d0 + d1 + f1, e3 = f1;
    // Odd half.
    const V h0 = Mul<16705, 15>::Of(x0 - x7), h1 = Mul<19705, 15>::Of(x1 - x6);
    const V h2 = Mul<29490, 15>::Of(x2 - x5), h3 = Mul<20995, 13>::Of(x3 - x4);
    const V t0 = h0 + h3, t1 = h1 + h2;
    const V u0 = Mul<17734, 15>::Of(h0 - h3), u1 = Mul<21407, 14>::Of(h1 - h2);
    const V o0 = t0 + t1, o2 = Mul<23171, 15>::Of(t0 - t1);
    const V w1 = Mul<23171, 15>::Of(u0 - u1);
    const V o1 = u0 + u1 + w1, o3 = w1;

    v[0] = e0;
    v[2 * stride] = Mul<23171, 14>::Of(e1);
    v[4 * stride] = Mul<23171, 14>::Of(e2);
    v[6 * stride] = Mul<23171, 14>::Of(e3);
    v[stride] = Mul<23171, 14>::Of(o0 + o1);
    v[3 * stride] = Mul<23171, 14>::Of(o1 + o2);
    v[5 * stride] = Mul<23171, 14>::Of(o2 + o3);
    v[7 * stride] = Mul<23171, 14>::Of(o3);
}

} // namespace pixmill::alder
