#pragma once

// How sure a lookup is of its results, which come best first.
enum class MatchQuality : int {
    AllValid = 0,    // every result is the address (one street in several pieces)
    FirstGood = 1,   // the first result is the address
    Ambiguous = 2,   // several results fit equally
    Partial = 3,     // only part of the address, or a fuzzy reading of it, was found
};
