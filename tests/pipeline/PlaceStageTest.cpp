// Place stages between the readers and the table: what they leave out is
// counted apart from what the files gave, so the no-place warning stays
// true.
#include <gtest/gtest.h>

#include "pipeline/BuildFixture.h"

namespace toponyx::testing {
namespace {

// Leaves out every second place of the run, and tells where it saw them.
class EverySecondPlace final : public pipeline::PlaceStage {
 public:
  void StartFile(const pipeline::PlaceSource& source) override {
    files.push_back(std::string(source.file) + "=" +
                    (source.format ? std::string(source.format->name) : "?"));
  }
  void Take(const readers::Place& place, readers::PlaceSink& next) override {
    positions.push_back(place.latitude + place.longitude);
    if (++seen % 2 == 1) next.Add(place);
  }
  std::string Report() const override { return std::to_string(seen / 2) + " places left out"; }
  int seen = 0;
  std::vector<std::string> files;
  std::vector<double> positions;
};

class PlaceStageTest : public BuildFixture {};

TEST_F(PlaceStageTest, AStageLeavesOutEverySecondPlace) {
  // Three places, then one (the fourth of the run, left out), then none.
  Write("a.tpx", "One,Peak,,-36.5,174.25\nTwo,Peak,,-36,174\nThree,Peak,,-35.75,174.5\n");
  Write("b.tpx", "Four,Peak,,-35,175\n");
  Write("c.tpx", "; nothing but a comment\n");
  // A source whose positions are its own texts: the stage gets their numbers.
  Write("d.txt", "2179537\tWellington\t\t\t-41.5\t174.25\tP\tPPLC\tNZ\n");
  auto stage = std::make_shared<EverySecondPlace>();
  pipeline::BuildRequest request = Request({"a.tpx", "b.tpx", "c.tpx", "d.txt"});
  request.stages.push_back(stage);
  const pipeline::BuildOutcome out = builder.Create(request);
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;

  EXPECT_EQ(out.places, 3u);
  EXPECT_EQ(NamesOf(Output()), (std::vector<std::string>{"One", "Three", "Wellington"}));
  // Each file's count of places read and of places stored apart: b.tpx read
  // well, only its place was left out; c.tpx gave nothing.
  ASSERT_EQ(out.files.size(), 4u);
  EXPECT_EQ(out.files[0].read, 3u);
  EXPECT_EQ(out.files[0].places, 2u);
  EXPECT_EQ(out.files[1].read, 1u);
  EXPECT_EQ(out.files[1].places, 0u);
  EXPECT_EQ(out.files[1].problem, pipeline::FileResult::Problem::kNone);
  EXPECT_EQ(out.warnings, std::vector<std::string>{"c.tpx: no usable lines"});
  EXPECT_EQ(out.reports, std::vector<std::string>{"2 places left out"});
  // The stage saw each place's numbers and the file it came from.
  EXPECT_EQ(stage->positions, (std::vector<double>{137.75, 138, 138.75, 140, 132.75}));
  EXPECT_EQ(stage->files,
            (std::vector<std::string>{"a.tpx=Toponyx text files", "b.tpx=Toponyx text files",
                                      "c.tpx=Toponyx text files", "d.txt=GeoNames"}));
}

}  // namespace
}  // namespace toponyx::testing
