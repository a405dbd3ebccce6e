// The Create command as a whole: refusals, stages, output files, clean-up.
#include <gtest/gtest.h>

#include <cstring>
#include "pipeline/BuildFixture.h"
#include "pipeline/Output.h"
#include "support/FaultFileSystem.h"

namespace toponyx::testing {
namespace {

constexpr const char* kInvalidName =
    "A filename cannot contain any of the following characters:\r\n\\ / : * ? \" < > |";
constexpr const char* kNoFiles = "There are no files in the list or none selected.";
constexpr const char* kNoName =
    "Please enter the Database Filename.\n\r\n\rFor example:\n\rUse the name of the country or "
    "region.";

using pipeline::BuildStatus;
using Texts = std::vector<std::string>;

class PipelineTest : public BuildFixture {};

TEST_F(PipelineTest, RefusalsShowTheirMessagesInOrderAndTouchNothing) {
  struct Case {
    std::string name;
    std::vector<pipeline::FileItem> files;
    Texts messages;
    MessageKind first_kind;
  };
  const std::vector<Case> cases = {
      // An invalid character wins over everything, even with nothing ticked.
      {"a?b", {{"x.txt", false}}, {kInvalidName}, MessageKind::kPlain},
      {"a/b", {}, {kInvalidName}, MessageKind::kPlain},
      {"x|", {{"x.txt", true}}, {kInvalidName}, MessageKind::kPlain},
      // Blanks only: the name is empty, and the invalid-character test is not made.
      {"   ", {}, {kNoFiles, kNoName}, MessageKind::kWarning},
      {"   ", {{"x.txt", false}}, {kNoFiles, kNoName}, MessageKind::kWarning},
      {"", {{"x.txt", true}}, {kNoName}, MessageKind::kWarning},
      {"ok", {{"x.txt", false}, {"y.txt", false}}, {kNoFiles}, MessageKind::kWarning},
      {"ok", {}, {kNoFiles}, MessageKind::kWarning},
  };
  for (const Case& c : cases) {
    RecordingUi recorder;
    pipeline::Builder b(recorder, program);
    pipeline::BuildRequest r = Request({}, c.name);
    r.files = c.files;
    pipeline::BuildOutcome out = b.Create(r);
    EXPECT_EQ(out.status, BuildStatus::kRefused) << c.name;
    EXPECT_EQ(recorder.texts(), c.messages) << "name '" << c.name << "'";
    ASSERT_FALSE(recorder.messages.empty());
    EXPECT_EQ(recorder.messages[0].kind, c.first_kind);
    // No stage, no folder.
    EXPECT_EQ(recorder.events.size(), c.messages.size());
    EXPECT_FALSE(platform::DefaultFileSystem().Exists(staging));
    EXPECT_FALSE(platform::DefaultFileSystem().Exists(save));
  }
}

TEST_F(PipelineTest, EmptyRunWritesAnEmptyTableAndFifteenTypeLines) {
  Write("data.csv", "a,b,c\n");  // ignored: not a data file extension
  pipeline::BuildOutcome out = Run({"data.csv"}, "  empty  ");
  ASSERT_EQ(out.status, BuildStatus::kSucceeded) << out.error;
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(Output("empty").size(), 0u);
  EXPECT_EQ(ReadFileBytes(save + kSep + "empty.names").size(), 194u);
  EXPECT_EQ(Types("empty"), TypesWith({}));
  int lines = 0;
  for (char c : Types("empty")) lines += c == '\n';
  EXPECT_EQ(lines, 15);
  EXPECT_EQ(ui.events, (Texts{"start 1", "done 1", "start 2", "done 2", "start 3", "done 3",
                              "start 4", "done 4", "view", "closed"}));
}

TEST_F(PipelineTest, EmptyFolderTextFailsBeforeAnythingExists) {
  pipeline::BuildRequest r = Request({"a.txt"});
  r.staging_folder = "";
  pipeline::BuildOutcome out = builder.Create(r);
  EXPECT_EQ(out.status, BuildStatus::kFailed);
  EXPECT_EQ(out.error, "Unable to create directory");
  EXPECT_EQ(ui.events, (Texts{"view", "closed"}));  // the finish step still runs

  RecordingUi other;
  pipeline::Builder b(other, program);
  r = Request({"a.txt"});
  r.save_folder = "";
  EXPECT_EQ(b.Create(r).error, "Unable to create directory");
  EXPECT_FALSE(platform::DefaultFileSystem().Exists(save));
}

TEST_F(PipelineTest, DownloadsStayWhenStagingIsTheDownloadFolder) {
  const std::string gnis =
      "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|STATE_NUMERIC|COUNTY_NAME|"
      "COUNTY_NUMERIC|PRIMARY_LAT_DMS|PRIM_LONG_DMS|PRIM_LAT_DEC|PRIM_LONG_DEC\n"
      "1|Abbey|Church|VA|51|Bath|017|380000N|0790000W|38.0|-79.0\n";
  Write("a.txt", gnis);
  Write("b.wpt", "not a waypoint file\n");
  Write("c.tpx", "; only a comment\n");
  pipeline::BuildRequest r = Request({"a.txt", "b.wpt", "c.tpx"});
  r.staging_folder = download;
  ASSERT_EQ(builder.Create(r).status, BuildStatus::kSucceeded);
  EXPECT_EQ(ReadFileBytes(download + kSep + "a.txt"), gnis);
  EXPECT_EQ(ReadFileBytes(download + kSep + "b.wpt"), "not a waypoint file\n");
  EXPECT_EQ(ReadFileBytes(download + kSep + "c.tpx"), "; only a comment\n");
  EXPECT_FALSE(platform::DefaultFileSystem().Exists(download + kSep + "temp.names"));
  EXPECT_FALSE(platform::DefaultFileSystem().Exists(download + kSep + "temp.ndx"));
  EXPECT_EQ(NamesOf(Output()), (Texts{"Abbey"}));
  EXPECT_TRUE(builder.waypoint_staged());
}

TEST_F(PipelineTest, NamesSortWithoutCaseAndStayStableAcrossFiles) {
  const std::string head =
      "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|x|x|x|x|x|PRIM_LAT_DEC|PRIM_LONG_DEC\n";
  Write("one.txt", head + "1|abbey|Church|x|x|x|x|x|x|1.0|2.0\n" +
                       "2|Zulu|Church|x|x|x|x|x|x|1.0|2.0\n" +
                       "3|Abbey|Church|x|x|x|x|x|x|3.0|4.0\n");
  Write("two.txt", head + "4|ABBOT|Church|x|x|x|x|x|x|1.0|2.0\n" +
                       "5|ABBEY|Dam|x|x|x|x|x|x|5.0|6.0\n" + "6|9 Mile|Dam|x|x|x|x|x|x|5.0|6.0\n" +
                       "7|abbey road|Dam|x|x|x|x|x|x|5.0|6.0\n");
  ASSERT_EQ(Run({"one.txt", "two.txt"}).status, BuildStatus::kSucceeded);
  auto records = Output();
  EXPECT_EQ(NamesOf(records),
            (Texts{"9 Mile", "abbey", "Abbey", "ABBEY", "abbey road", "ABBOT", "Zulu"}));
  // Equal names keep their append order across files.
  EXPECT_EQ(records[1].fields[3], "1.0");
  EXPECT_EQ(records[2].fields[3], "3.0");
  EXPECT_EQ(records[3].fields[3], "5.0");
  EXPECT_EQ(Types(), TypesWith({"Church", "Dam"}));
}

TEST_F(PipelineTest, FailedRunKeepsTheEarlierDatabase) {
  const std::string head =
      "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|x|x|x|x|x|PRIM_LAT_DEC|PRIM_LONG_DEC\n";
  Write("one.txt", head + "1|First|Church|x|x|x|x|x|x|1.0|2.0\n");
  ASSERT_EQ(Run({"one.txt"}, "db").status, BuildStatus::kSucceeded);
  const std::string names_before = ReadFileBytes(save + kSep + "db.names");
  const std::string types_before = ReadFileBytes(save + kSep + "db.types");

  Write("two.txt", head + "1|Second|Dam|x|x|x|x|x|x|1.0|2.0\n");
  for (const char* failing : {"db.names.part", "db.types.part"}) {
    FaultFileSystem fs;
    fs.FailOpen([failing](const std::string& p) {
      return p.size() >= std::strlen(failing) &&
             p.compare(p.size() - std::strlen(failing), std::string::npos, failing) == 0;
    });
    RecordingUi recorder;
    pipeline::Builder b(recorder, program, fs);
    pipeline::BuildOutcome out = b.Create(Request({"two.txt"}, "db"));
    ASSERT_EQ(out.status, BuildStatus::kFailed) << failing;
    EXPECT_NE(out.error.find("Cannot create file " + save + kSep + "db."), std::string::npos)
        << out.error;
    EXPECT_EQ(out.error.find(".part"), std::string::npos) << out.error;
    EXPECT_EQ(ReadFileBytes(save + kSep + "db.names"), names_before);
    EXPECT_EQ(ReadFileBytes(save + kSep + "db.types"), types_before);
    EXPECT_EQ(ListFolderNames(save), (Texts{"db.names", "db.types"}));
    EXPECT_FALSE(platform::DefaultFileSystem().Exists(staging + kSep + "temp.names"));
  }
}

TEST_F(PipelineTest, WriteFailureDuringTheCopyKeepsTheEarlierDatabase) {
  const std::string head =
      "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|x|x|x|x|x|PRIM_LAT_DEC|PRIM_LONG_DEC\n";
  std::string many = head;
  for (int i = 0; i < 3000; ++i) {
    many += std::to_string(i) + "|Place " + std::to_string(i) + "|Church|x|x|x|x|x|x|1.0|2.0\n";
  }
  Write("one.txt", head + "1|First|Church|x|x|x|x|x|x|1.0|2.0\n");
  Write("many.txt", many);
  ASSERT_EQ(Run({"one.txt"}, "db").status, BuildStatus::kSucceeded);
  const std::string names_before = ReadFileBytes(save + kSep + "db.names");

  // Count the writes of a whole run, then fail one late in it (in the copy).
  FaultFileSystem counting;
  {
    RecordingUi r;
    pipeline::Builder b(r, program, counting);
    ASSERT_EQ(b.Create(Request({"many.txt"}, "probe")).status, BuildStatus::kSucceeded);
  }
  const int total = counting.writes();
  ASSERT_GT(total, 4);
  FaultFileSystem fs;
  fs.FailWriteAfter(total - 2);
  RecordingUi recorder;
  pipeline::Builder b(recorder, program, fs);
  pipeline::BuildOutcome out = b.Create(Request({"many.txt"}, "db"));
  ASSERT_EQ(out.status, BuildStatus::kFailed);
  EXPECT_FALSE(out.error.empty());
  EXPECT_EQ(ReadFileBytes(save + kSep + "db.names"), names_before);
  for (const std::string& n : ListFolderNames(save)) EXPECT_EQ(n.find(".part"), std::string::npos);
}

TEST_F(PipelineTest, OpenOutputTableFailsTheRunAfterReading) {
  const std::string head =
      "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|x|x|x|x|x|PRIM_LAT_DEC|PRIM_LONG_DEC\n";
  Write("one.txt", head + "1|First|Church|x|x|x|x|x|x|1.0|2.0\n");
  ASSERT_EQ(Run({"one.txt"}).status, BuildStatus::kSucceeded);
  const std::string before = ReadFileBytes(save + kSep + "test.names");
  builder.OutputTable().Open();  // the View window holds it
  pipeline::BuildOutcome out = Run({"one.txt"});
  EXPECT_EQ(out.status, BuildStatus::kFailed);
  EXPECT_EQ(out.error, "Cannot perform this operation on an open dataset");
  EXPECT_EQ(ui.events.back(), "closed");
  builder.OutputTable().Close();
  EXPECT_EQ(ReadFileBytes(save + kSep + "test.names").substr(4), before.substr(4));
  EXPECT_FALSE(platform::DefaultFileSystem().Exists(staging + kSep + "temp.names"));
}

TEST_F(PipelineTest, SortThreadAndRunSizesGiveTheSameBytes) {
  // Many equal names across many runs: their order is the order read.
  const std::string head =
      "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|x|x|x|x|x|PRIM_LAT_DEC|PRIM_LONG_DEC\n";
  std::string text = head;
  uint32_t seed = 12345;
  for (int i = 0; i < 60000; ++i) {
    seed = seed * 1103515245u + 12345u;
    const std::string name = (seed >> 16) % 3 == 0   ? "abbey"
                             : (seed >> 16) % 3 == 1 ? "ABBEY"
                                                     : "Abbey";
    text += std::to_string(i) + "|" + name + " " + std::to_string((seed >> 8) % 40) +
            "|Church|x|x|x|x|x|x|" + std::to_string(i % 90) + ".5|-" + std::to_string(i) + "\n";
  }
  Write("many.txt", text);
  std::string reference;
  struct Way {
    bool thread;
    size_t budget, fan_in;
  };
  for (const Way& way :
       {Way{false, 48u << 20, 64}, Way{true, 40u << 20, 256}, Way{true, 1u << 20, 256},
        Way{false, 1u << 20, 4}, Way{true, 1u << 20, 3}}) {
    RecordingUi recorder;
    pipeline::Builder b(recorder, program);
    b.set_sort_thread(way.thread);
    dbf::IndexOptions options;
    options.memory_budget = way.budget;
    options.merge_fan_in = way.fan_in;
    b.set_index_options(options);
    ASSERT_EQ(b.Create(Request({"many.txt"}, "db")).status, BuildStatus::kSucceeded);
    const std::string bytes = ReadFileBytes(save + kSep + "db.names").substr(4);  // after the date
    if (reference.empty()) {
      reference = bytes;
      ASSERT_EQ(bytes.size(), 194u - 4 + 60000u * 146);
    } else {
      EXPECT_TRUE(bytes == reference) << way.thread << " " << way.budget << " " << way.fan_in;
    }
  }
  // Equal names stay in the order read.
  const auto records = Output("db");
  for (size_t i = 1; i < records.size(); ++i) {
    if (records[i].fields[0] == records[i - 1].fields[0]) {
      EXPECT_GT(std::stoi(records[i].fields[4].substr(1)),
                std::stoi(records[i - 1].fields[4].substr(1)));
    }
  }
}

// The ordered copy as a run makes it: the places stored into the working
// index as they are read, the index walked into the name database.
TEST(OrderedCopyTest, TheWalkWritesTheTableInNameOrderWithoutBlanksAround) {
  auto copy = [](const std::string& folder, const std::vector<std::vector<std::string>>& places) {
    platform::FileSystem& fs = platform::DefaultFileSystem();
    const auto building = pipeline::StartWorkingIndex(fs, folder, false);
    pipeline::WorkingTableSink sink;
    sink.Attach(building.get());
    for (const auto& p : places) {
      sink.Add(readers::Place{.name = p[0],
                              .full_code = p[1],
                              .major_code = p[2],
                              .latitude_text = p[3],
                              .longitude_text = p[4]});
    }
    const auto index = building->Finish({});
    dbf::DbfTable output;
    pipeline::NameDatabaseWriter writer(output, fs, pipeline::DatabaseFilesIn(folder, "out"),
                                        pipeline::DatabaseFilesIn(folder, "work"), false);
    NullBuildUi ui;
    EXPECT_EQ(pipeline::WalkInNameOrder(*index, writer, ui), places.size());
    return ReadFileBytes(folder + "/work.names");
  };
  TempDir dir;
  EXPECT_EQ(copy(dir.path(), {}).size(), 194u);  // no place gives an empty table

  const std::string bytes = copy(dir.path(), {{"zeta", "Z code", "Z major", "1", "2"},
                                              {" Alpha ", " A code", "A major ", "3", "4"},
                                              {"MIDDLE", "M", "M", "5", "6"},
                                              {"alpha", "second alpha", "", "7", "8"}});
  ASSERT_EQ(bytes.size(), 193u + 4 * 146 + 1);
  EXPECT_EQ(bytes[4], 4);  // the record count
  auto field = [&](int record, size_t offset, size_t length) {
    return bytes.substr(193 + 146 * static_cast<size_t>(record) + offset, length);
  };
  // " Alpha " sorts first because of its blank, and loses it in the copy.
  EXPECT_EQ(field(0, 1, 45), "Alpha" + std::string(40, ' '));
  EXPECT_EQ(field(0, 46, 40), "A code" + std::string(34, ' '));
  EXPECT_EQ(field(1, 1, 45), "alpha" + std::string(40, ' '));
  EXPECT_EQ(field(1, 86, 40), std::string(40, ' '));
  EXPECT_EQ(field(2, 1, 6), "MIDDLE");
  EXPECT_EQ(field(3, 1, 4), "zeta");
  EXPECT_EQ(field(3, 136, 10), "2" + std::string(9, ' '));
}

}  // namespace
}  // namespace toponyx::testing
