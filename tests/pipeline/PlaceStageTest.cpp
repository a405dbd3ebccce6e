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
  auto stage = std::make_shared<EverySecondPlace>();
  pipeline::BuildRequest request = Request({"a.tpx", "b.tpx", "c.tpx"});
  request.stages.push_back(stage);
  const pipeline::BuildOutcome out = builder.Create(request);
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;

  EXPECT_EQ(out.places, 2u);
  const std::vector<NamesRecord> records = Output();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].fields[0], "One");
  EXPECT_EQ(records[1].fields[0], "Three");
  // Each file's count of places read and of places stored apart: b.tpx read
  // well, only its place was left out; c.tpx gave nothing.
  ASSERT_EQ(out.files.size(), 3u);
  EXPECT_EQ(out.files[0].read, 3u);
  EXPECT_EQ(out.files[0].places, 2u);
  EXPECT_EQ(out.files[1].read, 1u);
  EXPECT_EQ(out.files[1].places, 0u);
  EXPECT_EQ(out.files[1].problem, pipeline::FileResult::Problem::kNone);
  EXPECT_EQ(out.warnings, std::vector<std::string>{"c.tpx: no usable lines"});
  EXPECT_EQ(out.reports, std::vector<std::string>{"2 places left out"});
  // The stage saw each place's numbers and the file it came from.
  EXPECT_EQ(stage->positions, (std::vector<double>{137.75, 138, 138.75, 140}));
  EXPECT_EQ(stage->files,
            (std::vector<std::string>{"a.tpx=Toponyx text files", "b.tpx=Toponyx text files",
                                      "c.tpx=Toponyx text files"}));
}

}  // namespace
}  // namespace toponyx::testing
