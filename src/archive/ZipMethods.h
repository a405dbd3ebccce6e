// The compression methods of ZIP entries: 0 stored, 1 shrunk, 2 to 5
// reduced, 6 imploded and 8 deflated. Each reads the entry's compressed
// data and writes into its output until the output holds the entry's
// uncompressed size or the data end.
//
// Corrupt data end the expansion with kCorrupt; the caller deletes the
// output. Errors of the archive or the output file (the archive ending
// early, a refused write) are raised as toponyx::Error by the streams.
#pragma once

#include "archive/EntryStreams.h"

namespace toponyx::archive {

enum class Expansion {
  kDone,     // the data were expanded (the caller still checks size and CRC)
  kCorrupt,  // the data cannot be expanded
};

Expansion CopyStored(EntryInput& in, EntryOutput& out);

// Raw deflate (zlib's inflate without header).
Expansion Inflate(EntryInput& in, EntryOutput& out);

// Dynamic LZW with 9- to 13-bit codes and partial clearing.
Expansion Unshrink(EntryInput& in, EntryOutput& out);

// Follower sets followed by run/copy codes; factor 1 to 4 (methods 2 to 5).
Expansion Unreduce(EntryInput& in, EntryOutput& out, int factor);

// Sliding dictionary of 4 KiB or 8 KiB (general purpose bit 1) with two or
// three Shannon-Fano trees (bit 2: the literal tree is present).
Expansion Explode(EntryInput& in, EntryOutput& out, bool large_window, bool literal_tree);

}  // namespace toponyx::archive
