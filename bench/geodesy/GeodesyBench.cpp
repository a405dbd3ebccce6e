// Conversions per second of every geodesy function, over inputs that change
// from call to call (a fixed set of positions walked round robin).
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "geodesy/Datum.h"
#include "geodesy/Grid.h"
#include "geodesy/Nzmg.h"

namespace toponyx::geo {
namespace {

constexpr size_t kPoints = 256;

struct Position {
  double a, b;
};

// Positions spread over [a0, a0 + da] × [b0, b0 + db].
std::array<Position, kPoints> Spread(double a0, double da, double b0, double db) {
  std::array<Position, kPoints> p{};
  for (size_t i = 0; i < kPoints; ++i) {
    const double u = static_cast<double>((i * 37) % kPoints) / kPoints;
    const double v = static_cast<double>((i * 101) % kPoints) / kPoints;
    p[i] = {a0 + u * da, b0 + v * db};
  }
  return p;
}

// Every conversion runs on the process-wide table, as the readers' do.
const DatumTable& Table() {
  return DefaultDatumTable();
}

// convert(position) gives what DoNotOptimize keeps: a LatLong, an optional
// one or a number.
template <typename F>
void Walk(benchmark::State& state, const std::array<Position, kPoints>& points, F convert) {
  size_t i = 0;
  for (auto _ : state) {
    auto result = convert(points[i]);
    benchmark::DoNotOptimize(result);
    i = (i + 1) % kPoints;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_ConvertDatum(benchmark::State& state) {
  const int32_t from = static_cast<int32_t>(state.range(0));
  Walk(state, Spread(50.0, 8.0, -6.0, 8.0),
       [from](const Position& p) { return ConvertDatum(Table(), from, kWgs84Datum, p.a, p.b); });
}
BENCHMARK(BM_ConvertDatum)->Arg(kOrdnanceSurveyDatum)->ArgName("from");

void BM_ShiftDatum(benchmark::State& state) {
  Walk(state, Spread(50.0, 8.0, -6.0, 8.0), [](const Position& p) {
    return ShiftDatum(Table(), ShiftDirection::kToWgs84, p.a, p.b, kOrdnanceSurveyDatum);
  });
}
BENCHMARK(BM_ShiftDatum);

void BM_DatumIndex(benchmark::State& state) {
  // A name near the end of the table, one in the middle, and one not there.
  const std::array<std::string, 3> names = {"zanderij", "NAD27 CONUS", "Nowhere 1900"};
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Table().DatumIndex(names[i]));
    i = (i + 1) % names.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DatumIndex);

void BM_DatumKnown(benchmark::State& state) {
  const std::array<std::string, 3> names = {"Zanderij", "NAD27 CONUS", "Nowhere 1900"};
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Table().DatumKnown(names[i]));
    i = (i + 1) % names.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DatumKnown);

void BM_UtmToLatLong(benchmark::State& state) {
  Walk(state, Spread(170000.0, 660000.0, 100000.0, 9000000.0),
       [](const Position& p) { return UtmToLatLong(Table(), "33U", "", p.a, p.b, kWgs84Datum); });
}
BENCHMARK(BM_UtmToLatLong);

void BM_UtmToLatLongUps(benchmark::State& state) {
  Walk(state, Spread(1400000.0, 1200000.0, 1400000.0, 1200000.0),
       [](const Position& p) { return UtmToLatLong(Table(), "Z", "", p.a, p.b, kWgs84Datum); });
}
BENCHMARK(BM_UtmToLatLongUps);

void BM_TmToLatLong(benchmark::State& state) {
  Walk(state, Spread(-330000.0, 660000.0, 100000.0, 9000000.0), [](const Position& p) {
    return TmToLatLong(Table(), kWgs84Datum, p.a, p.b, 0.0, 15.0, 0.9996);
  });
}
BENCHMARK(BM_TmToLatLong);

void BM_UpsToLatLong(benchmark::State& state) {
  Walk(state, Spread(1400000.0, 1200000.0, 1400000.0, 1200000.0),
       [](const Position& p) { return UpsToLatLong(Table(), true, p.a, p.b, kWgs84Datum); });
}
BENCHMARK(BM_UpsToLatLong);

void BM_MeridianArc(benchmark::State& state) {
  const EllipsoidShape ellipsoid = Table().EllipsoidOf(kWgs84Datum);
  Walk(state, Spread(-1.5, 3.0, 0.0, 0.0), [ellipsoid](const Position& p) {
    return static_cast<double>(MeridianArc(ellipsoid.e2, ellipsoid.a, p.a));
  });
}
BENCHMARK(BM_MeridianArc);

void BM_NzmgToLatLong(benchmark::State& state) {
  Walk(state, Spread(2000000.0, 1100000.0, 5300000.0, 1500000.0),
       [](const Position& p) { return NzmgToLatLong(p.a, p.b); });
}
BENCHMARK(BM_NzmgToLatLong);

}  // namespace
}  // namespace toponyx::geo

BENCHMARK_MAIN();
