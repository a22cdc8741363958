// The random-number generator behind GenNoise: a shuffled combination of three
// linear congruential generators giving uniform floats, and the polar method turning
// pairs of them into Gaussian floats. The state is plain data so that it can be
// examined on its own; GenNoise keeps one library-wide instance behind a lock.
#pragma once

namespace varnis {

struct NoiseGeneratorState {
    bool initialised = false;
    int ix1 = 0;          // congruential generator 1, modulus 259200
    int ix2 = 0;          // congruential generator 2, modulus 134456
    int ix3 = 0;          // congruential generator 3, modulus 243000
    float table[98] = {}; // shuffle table, entries 1..97
    bool have_spare = false;
    float spare = 0.0f;   // second Gaussian number of the last pair
};

// Seeds the state from *seed when *seed < 0 or the state was never seeded, then
// writes 1 into *seed; otherwise leaves both alone.
void seed_if_needed(NoiseGeneratorState& state, int* seed);

// The next uniform number of the sequence (the state must have been seeded).
float next_uniform(NoiseGeneratorState& state);

// The next standard Gaussian number (the spare of the last pair when one waits).
float next_gaussian(NoiseGeneratorState& state);

}  // namespace varnis
