// One reader per input format. Each reads the run's current input file from
// where the format dispatch left it to its end, appends place records to the
// working table, and returns without closing the file. Readers never report
// and never stop on a bad line.
#pragma once

namespace toponyx::pipeline {
struct BuildContext;
}

namespace toponyx::readers {

// USA GNIS: the text-file entry (a ".txt" file recognised by its first line,
// reopened at line 1) and the plain entry (".usa" or no extension).
void ReadUsaGnisTextFile(pipeline::BuildContext& ctx);
void ReadUsaGnisPlain(pipeline::BuildContext& ctx);
// World GNS, after line 1 (the header).
void ReadWorldGns(pipeline::BuildContext& ctx);
// GeoNames: the line in ctx.line first, then the rest.
void ReadGeoNames(pipeline::BuildContext& ctx);
// Ordnance Survey 1:50 000 gazetteer, from line 1.
void ReadOsGazetteer(pipeline::BuildContext& ctx);
// Carthovista waypoint file, from line 5.
void ReadWaypoints(pipeline::BuildContext& ctx);
// Toponyx text file, from line 1.
void ReadToponyxText(pipeline::BuildContext& ctx);

}  // namespace toponyx::readers
