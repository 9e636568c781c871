// File names in the order people read them: by the user's collation (LC_COLLATE, which the
// front ends take from the environment), letters before case, and runs of digits by their
// value, so "a.wav" comes before "B.wav" and "track2" before "track10".
#pragma once

#include <string_view>

namespace tonvela {

// Negative, 0 or positive. Case is ignored first (ASCII letters also under the "C" locale,
// where the collation is plain byte order); equal names then fall back to the collation of
// the exact texts and last to their bytes, so different names never compare equal.
int CompareNames(std::string_view a, std::string_view b);

// For std::sort and friends.
inline bool NameLess(std::string_view a, std::string_view b) { return CompareNames(a, b) < 0; }

}  // namespace tonvela
