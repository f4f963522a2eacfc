// Text pieces: splitting a text at a one-character delimiter, counting the
// delimiters and replacing text. A wrong argument (a delimiter that is not one
// character, a piece number below 1, an empty search text) is shown to the
// user through the warning when one is given, and the function goes on.
#pragma once

#include <string>
#include <string_view>

#include "util/warning.h"

namespace zelka {

// The n-th piece (from 1) of text split at delimiter; "" when there are fewer
// pieces or n is below 1. Warns when the piece is enclosed in double quotes.
std::string Piece2(std::string_view text, int n, std::string_view delimiter, const Warning& warn = nullptr);
// The same pieces as Piece2, without the double-quote warning.
std::string Piece(std::string_view text, int n, std::string_view delimiter, const Warning& warn = nullptr);
// How many times the delimiter occurs in text (the number of pieces less one).
int PieceCnt(std::string_view text, std::string_view delimiter, const Warning& warn = nullptr);
// Every occurrence of find replaced, left to right; inserted text is not searched again.
std::string StrRep(std::string_view text, std::string_view find, std::string_view replacement,
                   const Warning& warn = nullptr);

}  // namespace zelka
