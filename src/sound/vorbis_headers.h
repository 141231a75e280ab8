// The checks an Ogg Vorbis file's header packets pass before the decoder is given the file.
#pragma once

#include "sound/file_reader.h"

namespace melvox {

// Reads the whole file through reader (from its start; the position is left at the end) and checks
// the header packets of every Vorbis stream in it, each link of a chained file included:
//  - identification header: version 0, 1 to 255 channels, a rate above 0, block sizes 2^6 to 2^13
//    with the short one no longer than the long one, the framing bit set;
//  - setup header: every codebook starts with its sync pattern, has at least one dimension and one
//    entry, and codeword lengths that the decoder can build a code from (a complete prefix code, or
//    at most one used entry), and a lookup type of 0, 1 or 2 whose values the packet holds.
// The decoder reports a codebook it cannot build only when it is first asked for samples, and
// decoding on after that divides by the dimension of a codebook it left empty.
// Throws CMVException 9 "Incorrect wave format" for a header that fails; 11 for read errors. Streams
// that are not Vorbis, and headers that the file does not hold whole, are left to the decoder.
void CheckVorbisHeaders(CFileReader& reader);

}  // namespace melvox
