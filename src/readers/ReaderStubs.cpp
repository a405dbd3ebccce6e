// Readers whose formats are not read yet: each reads the file to its end
// and writes nothing. Every function here moves to its own file when its
// reader is written.
#include "build/BuildContext.h"
#include "readers/Readers.h"

namespace toponyx::readers {
namespace {
void SkipToEnd(build::BuildContext& ctx) {
  while (!ctx.input.Eof()) ctx.input.ReadTextLine(ctx.line);
}
}  // namespace

void ReadWorldGns(build::BuildContext& ctx) { SkipToEnd(ctx); }
void ReadGeoNames(build::BuildContext& ctx) { SkipToEnd(ctx); }
void ReadOsGazetteer(build::BuildContext& ctx) { SkipToEnd(ctx); }
void ReadWaypoints(build::BuildContext& ctx) {
  SkipToEnd(ctx);
  ctx.waypoint_header = false;
}
void ReadToponyxText(build::BuildContext& ctx) { SkipToEnd(ctx); }

}  // namespace toponyx::readers
