// Parameter studies: the study file's faults, the designs, the table's round trip, and rows
// that equal single batch runs whatever the number of threads.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <numeric>
#include <set>
#include <sstream>

#include "RecordingSink.h"
#include "TestSupport.h"
#include "cli/BatchProgram.h"
#include "format/NumberFormat.h"
#include "io/CaseFile.h"
#include "io/FolderLock.h"
#include "run/RunSimulation.h"
#include "run/Validation.h"
#include "study/StudyDesign.h"
#include "study/StudyRecord.h"
#include "study/StudyRunner.h"
#include "study/StudyTable.h"

namespace quillane::study {
namespace {

using nlohmann::json;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

Study Read(const std::string& text) {
  return ReadStudyText(text, "s.json", DefaultInputs(), std::filesystem::path());
}

// A coat's own input and a figure of a later coat's material vary as any quantity does: each
// point is the run of the case so changed. A coat the base case lacks is refused before any point.
TEST(StudyCoatsTest, ACoatsInputAndItsMaterialsFigureVaryAndAMissingCoatIsRefused) {
  MaterialsCatalogue shipped;
  shipped.Open(test::BuildDir() / "Brelon.db");
  InputParameters base = DefaultInputs();
  ReadCaseFile(test::DataDir() / "coats" / "case.json", base);
  base.Coats[0].PassCount = 2;
  base.Coats[1].PassCount = 2;
  const auto read = [&](const char* text) { return ReadStudyText(text, "s.json", base, {}); };
  const Study study = read(R"({"vary": [{"input": "coat2.HeatFlux", "values": [5e5, 9e5]},
                                        {"input": "coat2.SigmaQ", "values": [1e7, 5e7]}]})");
  const StudySetUp setUp = SetUpStudy(study, shipped, false, {});
  ASSERT_TRUE(setUp.BaseFaults.empty()) << setUp.BaseFaults[0].English;
  ASSERT_EQ(setUp.Points.size(), 4u);
  std::set<double> curvatures;
  for (const std::vector<double>& values : setUp.Points) {
    const PointResult point = RunPoint(study, values, shipped, {}, 0);
    ASSERT_EQ(point.Status, kStatusOk);
    EXPECT_EQ(point.Values, values);
    curvatures.insert(point.Results[0]);
    // The same run, set up by hand.
    ModelState alone;
    ApplyDefaults(alone);
    alone.Input = base;
    alone.Input.Coats[1].HeatFlux = values[0];
    ValidateRunInputs(alone, &shipped);
    alone.Materials.LaterCoats[0].SigmaQ = values[1];
    test::RecordingSink sink;
    RunSimulation(alone, sink);
    EXPECT_EQ(point.Results[0], alone.Stress.FinalCurvature);
  }
  EXPECT_EQ(curvatures.size(), 4u);
  // Every fault of each refused study's base, in order.
  std::vector<std::string> told;
  const auto refuse = [&](const Study& refused, const MaterialsCatalogue& rows) {
    for (const auto& fault : SetUpStudy(refused, rows, false, {}).BaseFaults) {
      told.push_back(fault.English);
    }
  };
  refuse(read(R"({"vary": [{"input": "coat3.HeatFlux", "values": [5e5]}]})"), shipped);
  // The case's own flux, which both coats give for themselves, and its pass count, would change
  // nothing; its substrate's temperature would.
  refuse(read(R"({"vary": [{"input": "HeatFlux", "values": [5e5]},
      {"input": "PassCount", "values": [3]}, {"input": "SubstrateTemperature", "values": [400]}]})"),
         shipped);
  // A figure its row gives against temperature is not one number to vary.
  MaterialRecord tabled = shipped.LookupMaterial("Zircone yttriée");
  tabled.Tables.SigmaQ = {{400, 1e8}, {700, 5e7}};
  MaterialsCatalogue own = shipped;
  own.AddUserRows({tabled}, "own.db");
  // A resume finds a coat's row changed, its points against temperature too.
  EXPECT_THAT(RecordDifference(StudyRecordJson(study, shipped, {}, "p"),
                               StudyRecordJson(study, own, {}, "p"), "r"),
              HasSubstr("materials.coats.1.Tables.SigmaQ"));
  refuse(study, own);
  test::ExpectMessages("study coat faults", told);
}

// The faults a study window can also make are compared with its own in tests/session; these are
// the file's alone.
TEST(StudyFileTest, EachBadEntryIsRefusedNamingIt) {
  const std::string deep = R"({"base": {"HeatFlux": )" + std::string(100000, '[') + "}}";
  const std::string bad[] = {
      R"({"vary": [{"input": "coating.Colour", "values": [1]}]})",
      R"({"vary": [{"input": "HeatFlux", "values": []}]})",
      R"({"vary": [{"input": "HeatFlux", "values": [1e6]}, {"input": "HeatFlux", "values": [2e6]}]})",
      R"({"vary": []})",
      R"({"vary": [{"input": "HeatFlux", "values": [1e6]}], "design": "random"})",
      R"({"vary": [{"input": "HeatFlux", "values": [1e6]}], "design": {"latin-hypercube": {"samples": 4}}})",
      R"({"vary": [{"input": "HeatFlux", "distribution": {"uniform": [1e6, 2e6]}}]})",
      R"({"vary": [{"input": "HeatFlux", "distribution": {"uniform": [1e6, 2e6], "normal": [1e6, 1]}}], "design": {"latin-hypercube": {"samples": 4}}})",
      R"({"base": {"Unknown": 1}, "vary": [{"input": "HeatFlux", "values": [1e6]}]})",
      R"([1, 2])",
      // Told as a case file's faults are, never in the reader's own words (which quote the
      // bytes met, text or not); keys and bytes that are not text escaped.
      std::string("\n\x9B\0not text", 11),
      R"({"vary": [], "\u001b[2J\u0000": 1})",
      // Found by the fuzzer: the reader's overflow escaped as another exception.
      R"({"vary": [{"input": -1e400}]})",
      // A base nested this deep overflowed the stack.
      deep,
      R"({"vary": [{"input": "HeatFlux", "values": [1e6], "from": 1e5, "to": 1e6, "steps": 2}]})",
      R"({"vary": [{"input": "HeatFlux", "from": 1e5, "to": 1e6, "steps": -3}]})",
      // One search for a repeated key at any depth (tests/io checks it at the top).
      R"({"base": {"PassCount": 2, "PassCount": 3}, "vary": [{"input": "HeatFlux", "values": [1e6]}]})",
      R"({"vary": [{"input": "HeatFlux", "distribution": {"uniform": [1e6, 2e6], "truncate": true}}], "design": {"latin-hypercube": {"samples": 4}}})",
      R"({"vary": [{"input": "HeatFlux", "distribution": {"normal": [1e6, 1e5], "truncate": 1}}], "design": {"latin-hypercube": {"samples": 4}}})",
      R"({"vary": [{"input": "coating.Poisson", "distribution": {"normal": [-9, 0.5], "truncate": true}}], "design": {"latin-hypercube": {"samples": 4}}})",
  };
  std::vector<std::string> told;
  for (const std::string& text : bad) {
    try {
      DesignPoints(Read(text));
      ADD_FAILURE() << text;
    } catch (const StudyError& error) {
      told.push_back(error.what());
    }
  }
  test::ExpectMessages("study file faults", told);
}

TEST(StudyFileTest, RangeFaultsAreToldInFrench) {
  const std::optional<EntryFault> faults[] = {
      CheckRange({2.5, 1, 4, false}),
      CheckRange({1, 1, 4, false}),
      CheckRange({-1, 1, 4, true}),
      CheckRange({1, 2, 0, false}),
      CheckRange({1, 2, kMaxRangeSteps + 1, false}),
  };
  std::vector<std::string> told;
  for (const auto& fault : faults) {
    ASSERT_TRUE(fault);
    told.insert(told.end(), {English(*fault), French(*fault, ',')});
  }
  test::ExpectMessages("range faults", told);
  EXPECT_FALSE(CheckRange({1e-3, 1, 3, true}));
  // Each point is the decimal a user would type, in its shortest form.
  const struct {
    ValueRange range;
    const char* values;
  } ranges[] = {
      {{0.1, 0.7, 6, false}, "0.1 0.2 0.3 0.4 0.5 0.6 0.7"},
      {{9, 10, 3, false}, "9 9.333333333333334 9.666666666666666 10"},
      {{-1, 0.5, 3, false}, "-1 -0.5 0 0.5"},
      {{0, 3e-20, 3, false}, "0 1e-20 2e-20 3e-20"},
      {{2e-3, 2, 3, true}, "0.002 0.02 0.2 2"},
      {{1, 2, 2, true}, "1 1.4142135623730951 2"},
      {{1e-2, 1e4, 3, true}, "0.01 1 100 10000"},
  };
  for (const auto& r : ranges) {
    std::string shown;
    for (const double value : RangeValues(r.range)) {
      shown += (shown.empty() ? "" : " ") + format::FormatShortest(value);
    }
    EXPECT_EQ(shown, r.values);
  }
  // Ends whose ratio overflows a double: each point within a few units of its last place.
  const std::vector<double> wide = RangeValues({1e-300, 1e10, 4, true});
  ASSERT_EQ(wide.size(), 5u);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const long double exact = std::pow(10.0L, -300.0L + 77.5L * static_cast<long double>(i));
    EXPECT_NEAR(static_cast<double>(wide[i] / exact), 1, 1e-15) << wide[i];
  }
}

TEST(StudyDesignTest, GridsCombineValuesInTheStudysOrder) {
  Study study = Read(R"({"base": {"PassCount": 3}, "vary": [
      {"input": "PassThickness", "from": 1e-5, "to": 3e-5, "steps": 2},
      {"input": "HeatFlux", "from": 1e5, "to": 1e7, "steps": 2, "scale": "log"}]})");
  using Values = std::vector<double>;
  EXPECT_EQ(std::tie(study.Base.PassCount, study.Vary[0].Values, study.Vary[1].Values),
            std::tuple(3, Values{1e-5, 2e-5, 3e-5}, Values{1e5, 1e6, 1e7}));
  const auto factorial = DesignPoints(study);
  ASSERT_EQ(std::pair(PointCount(study), factorial.size()), std::pair(9LL, std::size_t{9}));
  EXPECT_EQ(std::pair(factorial[1], factorial[3][0]), std::pair(Values{1e-5, 1e6}, 2e-5));
  study.Design = DesignKind::OneAtATime;
  const auto alone = DesignPoints(study);
  ASSERT_EQ(std::pair(PointCount(study), alone.size()), std::pair(6LL, std::size_t{6}));
  EXPECT_EQ(alone[4][1], 1e6);
  EXPECT_TRUE(std::isnan(alone[4][0]));
}

TEST(StudyDesignTest, LatinHypercubePutsOneSampleInEachStratumReproducibly) {
  const std::string text = R"({"design": {"latin-hypercube": {"samples": 50, "seed": 3}}, "vary": [
      {"input": "HeatFlux", "distribution": {"uniform": [1e6, 2e6]}},
      {"input": "coating.SigmaQ", "distribution": {"normal": [1e8, 1e7]}}]})";
  const auto points = DesignPoints(Read(text));
  EXPECT_EQ(points, DesignPoints(Read(text)));
  std::vector<int> uniform(50, 0), normal(50, 0);
  for (const auto& point : points) {
    ++uniform[static_cast<int>((point[0] - 1e6) / 1e6 * 50)];
    const double p = 0.5 * std::erfc(-(point[1] - 1e8) / 1e7 / std::sqrt(2.0));
    ++normal[static_cast<int>(p * 50)];
  }
  EXPECT_EQ(uniform, std::vector<int>(50, 1));
  EXPECT_EQ(normal, std::vector<int>(50, 1));
  EXPECT_NEAR(NormalQuantile(0.975), 1.959963984540054, 1e-14);
  EXPECT_NEAR(NormalQuantile(1e-10), -6.361340902404056, 1e-12);
  EXPECT_NEAR(NormalQuantile(0.99), 2.3263478740408408, 1e-13);
  // Truncated to the input's range, every draw lies within it, one in each stratum of equal
  // probability of the law cut there.
  const Study cut = Read(R"({"design": {"latin-hypercube": {"samples": 200}}, "vary": [
      {"input": "coating.Poisson", "distribution": {"truncate": true, "normal": [0.3, 0.5]}}]})");
  const QuantitySpec& poisson = *cut.Vary[0].Spec;
  const auto cdf = [](double x) { return 0.5 * std::erfc(-(x - 0.3) / 0.5 / std::sqrt(2.0)); };
  std::vector<int> strata(200, 0);
  for (const auto& point : DesignPoints(cut)) {
    EXPECT_FALSE(CheckValue(poisson, point[0])) << point[0];
    const double p = (cdf(point[0]) - cdf(poisson.Min)) / (cdf(poisson.Max) - cdf(poisson.Min));
    ++strata[std::min(199, static_cast<int>(p * 200))];
  }
  EXPECT_EQ(strata, std::vector<int>(200, 1));
}

TEST(StudyTableTest, TablesReadBackAndRanksCorrelate) {
  const Study study = Read(R"({"vary": [{"input": "HeatFlux", "values": [1e6, 2e6, 3e6]}]})");
  StudyRows rows(3);
  rows[0] = PointResult{{1e6}, {}, "ok"};
  rows[0]->Results.fill(0.1);
  rows[0]->Results[9] = 394;
  rows[2] = PointResult{{3e6}, {}, "Material \"A, \"B\"\": no such row"};
  rows[2]->Results.fill(std::nan(""));
  const std::string csv = TableCsv(study, rows);
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "point,HeatFlux,FinalCurvature,FinalDeflection,SubstrateStressBackFinal,"
            "SubstrateStressFrontFinal,LamellaStressFinalMin,LamellaStressFinalMax,"
            "PeakSurfaceTemperature,PeakSubstrateTemperature,PeakInterfaceTemperature,"
            "ThermalRowCount,SingularMatrixEvents,status");
  EXPECT_THAT(csv, HasSubstr("\n1,1e+06,0.1,0.1,0.1,0.1,0.1,0.1,0.1,0.1,0.1,394,0.1,ok\n"));
  const StudyRows back = ReadTableCsv(csv, "r.csv", study, 3);
  EXPECT_EQ(std::tuple(back[1].has_value(), TableCsv(study, back)), std::tuple(false, csv));
  const std::string text = TableJson(study, rows);
  const json table = json::parse(text)["rows"];
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(std::tuple(table[1]["point"], table[1]["FinalCurvature"]), std::tuple(3, nullptr));
  // A count is written as an integer; every column has its unit.
  EXPECT_THAT(text, HasSubstr("\"ThermalRowCount\": 394,"));
  const json units = json::parse(text)["units"];
  ASSERT_EQ(units.size(), TableColumns(study).size() - 1);
  EXPECT_EQ(
      std::tie(units["HeatFlux"], units["PeakInterfaceTemperature"], units["ThermalRowCount"]),
      std::tuple("W/m²", "K", ""));
  const Study other = Read(R"({"vary": [{"input": "PassCount", "values": [1]}]})");
  EXPECT_THROW(ReadTableCsv(csv, "r.csv", other, 3), StudyError);
  // A table cut short within its header is told as such, not as another study's.
  EXPECT_THAT([&] { ReadTableCsv(csv.substr(0, 24), "r.csv", study, 3); },
              ThrowsMessage<StudyError>(
                  StrEq("r.csv, line 1: the header stops after \"FinalCurv\", 3 of this "
                        "study's 14 columns: the table was cut short and holds no rows.")));
  EXPECT_THROW(ReadTableCsv(csv, "r.csv", study, 2), StudyError);
  // A row of the wrong width, or with a quote left open, is refused naming its line; the same
  // table as a spreadsheet saves it (byte-order mark, CRLF) reads back as written.
  const std::string header = csv.substr(0, csv.find('\n') + 1);
  const std::string row = "1,1e+06,0.1,0.1,0.1,0.1,0.1,0.1,0.1,0.1,0.1,394,0.1,ok";
  for (const std::string& bad : {header + "1,1e+06,0.1\n", header + row + " \"open\n"}) {
    EXPECT_THAT([&] { ReadTableCsv(bad, "r.csv", study, 3); },
                ThrowsMessage<StudyError>(StrEq("r.csv, line 2: expected 14 cells.")))
        << bad;
  }
  std::string saved = "\xEF\xBB\xBF" + csv;
  for (std::size_t at = 0; (at = saved.find('\n', at)) != std::string::npos; at += 2) {
    saved.insert(at, "\r");
  }
  EXPECT_EQ(TableCsv(study, ReadTableCsv(saved, "r.csv", study, 3)), csv);

  EXPECT_DOUBLE_EQ(RankCorrelation({1, 2, 3, 4}, {10, 20, 25, 400}), 1);
  EXPECT_NEAR(RankCorrelation({1, 2, 3, 4}, {1, 1, 2, 2}), 0.894427190999916, 1e-15);
  EXPECT_TRUE(std::isnan(RankCorrelation({1, 2, 3}, {5, 5, 5})));
}

class StudyProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::BuildDatabase(test::DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
  }
  int Batch(std::vector<std::string> args, const std::string& catalogue = "p1.db") {
    args.insert(args.end(), {"--catalogue", (dir / catalogue).string(), "--quiet"});
    err.str("");
    std::ostringstream out;
    return cli::RunBatch(args, out, err);
  }
  int Study(const std::string& text, const std::string& out, std::vector<std::string> extra = {},
            const std::string& catalogue = "p1.db") {
    test::WriteFile(dir / "s.json", text);
    extra.insert(extra.begin(), {kCase, "--study", In("s.json"), "--out", In(out)});
    return Batch(extra, catalogue);
  }
  // changed.db: the small catalogue whose coating has SigmaQ 2e8.
  void ChangedCatalogue() {
    std::string sql = test::ReadFile(test::DataDir() / "p1" / "catalogue.sql");
    sql.insert(sql.rfind("COMMIT;"),
               "UPDATE \"matériaux\" SET SigmaQ = 2e8 WHERE \"Matériaux\" = 'NiCrAlY';\n");
    test::WriteFile(dir / "changed.sql", sql);
    test::BuildDatabase(dir / "changed.sql", dir / "changed.db");
  }
  std::string In(const std::filesystem::path& name) const { return (dir / name).string(); }
  std::string Text(const std::filesystem::path& name) const { return test::ReadFile(dir / name); }
  const std::string kCase = (test::DataDir() / "p1" / "case.json").string();
  test::TempDir dir;
  std::ostringstream err;
};

TEST_F(StudyProgramTest, RowsEqualSingleRunsWhateverTheThreads) {
  const std::string study = R"({"vary": [{"input": "PassThickness", "values": [2e-6, 4e-6]},
      {"input": "coating.SigmaQ", "values": [5e7, 2e8]}]})";
  ASSERT_EQ(Study(study, "one", {"--jobs", "1", "--keep-files"}), 0) << err.str();
  ASSERT_EQ(Study(study, "three", {"--jobs", "3"}), 0) << err.str();
  const std::string csv = Text("one/results.csv");
  EXPECT_EQ(Text("three/results.csv"), csv);
  EXPECT_FALSE(std::filesystem::exists(dir / "three" / "points"));
  EXPECT_TRUE(std::filesystem::exists(dir / "three" / "plots" / "FinalCurvature_map.svg"));
  const json table = json::parse(Text("one/results.json"))["rows"];
  ASSERT_EQ(table.size(), 4u);
  // Point 4 by hand: the case, the flag, and a catalogue whose coating has that SigmaQ.
  ChangedCatalogue();
  ASSERT_EQ(Batch({kCase, "--pass-thickness", "4", "--summary", In("single.json"), "--thermal",
                   In("t.txt"), "--stress", In("s.txt")},
                  "changed.db"),
            0)
      << err.str();
  const json single = json::parse(Text("single.json"));
  const json& row = table[3];
  EXPECT_EQ(std::tie(row["PassThickness"], row["coating.SigmaQ"]), std::tuple(4e-6, 2e8));
  for (const char* key : {"FinalCurvature", "FinalDeflection", "SubstrateStressBackFinal",
                          "SubstrateStressFrontFinal", "ThermalRowCount", "SingularMatrixEvents",
                          "PeakSubstrateTemperature", "PeakInterfaceTemperature"}) {
    EXPECT_EQ(row[key], single[key]) << key;
  }
  const auto stresses = single["LamellaStressFinal"].get<std::vector<double>>();
  const auto [lowest, highest] = std::minmax_element(stresses.begin() + 1, stresses.end());
  EXPECT_EQ(std::tie(row["LamellaStressFinalMin"], row["LamellaStressFinalMax"]),
            std::tie(*lowest, *highest));
  // The kept files are those of a single run with the point's inputs.
  EXPECT_EQ(Text("one/points/0004/Stress.txt"), Text("s.txt"));
  EXPECT_EQ(json::parse(Text("one/points/0004/summary.json")), single);
  // Its case.json runs it again alone, the changed coating in the catalogue copy it names.
  std::ostringstream out;
  ASSERT_EQ(cli::RunBatch({In("one/points/0004/case.json"), "--summary", In("again.json"),
                           "--thermal", In("t2.txt"), "--stress", In("s2.txt"), "--quiet"},
                          out, err),
            0)
      << err.str();
  EXPECT_EQ(json::parse(Text("again.json")), single);
  // The folder holds the base case as the case file resolved it.
  InputParameters base = DefaultInputs();
  ReadCaseFile(test::DataDir() / "p1" / "case.json", base);
  EXPECT_EQ(Text("one/base_case.json"), CaseText(base));
}

TEST_F(StudyProgramTest, ResumeComputesOnlyTheMissingRowsAndFailedPointsAreRows) {
  // A curvature of 50 1/m is more than a specimen of 0.06 m can take: that point fails.
  const std::string study = R"({"design": "one-at-a-time", "vary": [
      {"input": "InitialCurvature", "values": [0.2, 50]},
      {"input": "HeatFlux", "values": [4e5, 8e5]}]})";
  // Every point ran, one failed: the table holds its fault and the status says so.
  ASSERT_EQ(Study(study, "out", {"--keep-files"}), 3) << err.str();
  EXPECT_THAT(err.str(), HasSubstr("1 point failed; the faults are in the status column of"));
  const std::string full = Text("out/results.csv");
  EXPECT_THAT(full, HasSubstr("\n2,50,6e+05,,,,,,,,,,,,InitialCurvature (--curvature) is 50 1/m;"));
  EXPECT_THAT(full, HasSubstr("\n4,0.2,8e+05,"));
  // Its case was kept before it ran: the failed point can be run alone too.
  const json failed = json::parse(Text("out/points/0002/case.json"));
  EXPECT_EQ(failed["InitialCurvature"], 50);
  EXPECT_FALSE(failed.contains("Catalogue"));
  // Drop rows 1 and 3, as a stopped study leaves them; a resumed one computes just those.
  const std::vector<std::string> lines = test::Lines(full);
  std::string kept;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i != 1 && i != 3) kept += lines[i] + "\n";
  }
  test::WriteFile(dir / "out" / "results.csv", kept);
  ASSERT_EQ(Study(study, "out", {"--resume", "--keep-files"}), 3) << err.str();
  EXPECT_EQ(Text("out/results.csv"), full);
}

// A resume takes only rows computed from the same study, base case, catalogue rows and
// program; a refused one names the difference and leaves the folder as it was.
TEST_F(StudyProgramTest, AResumeRefusesRowsOfOtherInputsAndChangesNothing) {
  const std::string study = R"({"vary": [{"input": "PassThickness", "from": 1e-5, "to": 2e-5,
      "steps": 2}]})";
  const std::string other = R"({"vary": [{"input": "PassThickness", "from": 1e-5, "to": 3e-5,
      "steps": 2}]})";
  ASSERT_EQ(Study(study, "m"), 0) << err.str();
  ChangedCatalogue();
  const struct {
    std::string message;
    std::vector<std::string> extra;
    std::string catalogue = "p1.db";
    std::function<void()> before = {};  // what an earlier program or a kill left in the folder
    const std::string* text = nullptr;  // the study's own where null
  } cases[] = {
      // A study killed at once into the folder of another left its study.json there.
      {"point 2 has PassThickness 1.5e-05, but this study's point 2 has 2e-05",
       {},
       "p1.db",
       [&] { test::WriteFile(dir / "m" / "study.json", other); },
       &other},
      // Another study cannot be resumed into the folder of this one.
      {"is not the study of", {}, "p1.db", {}, &other},
      {"base.HeatFlux is 5e+06 now, 6e+05 in " + In("m/inputs.json"), {"--heat-flux", "5000"}},
      {"materials.coating.SigmaQ is 2e+08 now, 1e+08 in", {}, "changed.db"},
      {"kept files is true now, false", {"--keep-files"}},
      {"holds no inputs.json, which tells what its rows were computed from: it was removed",
       {},
       "p1.db",
       [&] { std::filesystem::remove(dir / "m" / "inputs.json"); }},
  };
  for (const auto& c : cases) {
    if (c.before) c.before();
    const auto listing = test::Listing(dir / "m");
    std::map<std::string, std::string> files;
    for (const std::string& name : listing) {
      if (std::filesystem::is_regular_file(dir / "m" / name))
        files[name] = test::ReadFile(dir / "m" / name);
    }
    std::vector<std::string> extra = c.extra;
    extra.push_back("--resume");
    EXPECT_EQ(Study(c.text ? *c.text : study, "m", extra, c.catalogue), 1) << c.message;
    EXPECT_THAT(err.str(), HasSubstr(c.message));
    EXPECT_EQ(test::Listing(dir / "m"), listing) << c.message;
    for (const auto& [name, text] : files) {
      EXPECT_EQ(test::ReadFile(dir / "m" / name), text) << name << " after " << c.message;
    }
    // A refused resume never advises the command that would replace the earlier study.
    EXPECT_THAT(err.str(), Not(AnyOf(HasSubstr("--force"), HasSubstr("without --resume"))));
    ASSERT_EQ(Study(study, "m", {"--force"}), 0) << err.str();
  }
  // A folder that holds no study is not made by a resume.
  EXPECT_EQ(Study(study, "none", {"--resume"}), 1);
  EXPECT_THAT(err.str(), HasSubstr("holds no study to resume"));
  EXPECT_FALSE(std::filesystem::exists(dir / "none"));
}

// Studies that cannot run, and output paths that cannot be written, are told before any point.
TEST_F(StudyProgramTest, StudiesThatCannotRunAreRefusedBeforeAnyRun) {
  const std::string one = R"({"vary": [{"input": "HeatFlux", "values": [1e6]}]})";
  test::WriteFile(dir / "plain", "a file");
  std::filesystem::create_directories(dir / "busy" / "results.csv");
  std::filesystem::create_directories(dir / "kept");
  test::WriteFile(dir / "kept" / "points", "a file");
  const struct {
    ::testing::Matcher<std::string> message;
    std::string text;
    std::vector<std::string> extra = {};
    std::string out = "refused";
  } cases[] = {
      {HasSubstr("more than 100000; give --force"),
       R"({"vary": [{"input": "HeatFlux", "from": 1e5, "to": 1e6, "steps": 400},
                    {"input": "PassCount", "from": 1, "to": 300, "steps": 299}]})"},
      // 1e15 points: named exactly, and refused even when forced.
      {HasSubstr("the study has 1000000000000000 points, more than the 10000000 a study can hold, "
                 "even with --force."),
       R"({"vary": [{"input": "HeatFlux", "from": 1e5, "to": 1e6, "steps": 99999},
                    {"input": "coating.SigmaQ", "from": 1e7, "to": 2e8, "steps": 99999},
                    {"input": "PassThickness", "from": 1e-6, "to": 2e-5, "steps": 99999}]})",
       {"--force"}},
      {HasSubstr("s.json: base: PassThickness"),
       R"({"base": {"PassThickness": 9}, "vary": [{"input": "HeatFlux", "values": [1e6]}]})"},
      // A draw out of range names the file and the quantity, and how to draw within its range.
      {AllOf(HasSubstr("s.json: vary[1] (\"coating.Poisson\"): sample "),
             HasSubstr("Give \"truncate\": true beside \"normal\" to draw within the input's "
                       "range.")),
       R"({"design": {"latin-hypercube": {"samples": 200}},
          "vary": [{"input": "HeatFlux", "distribution": {"uniform": [1e6, 2e6]}},
                   {"input": "coating.Poisson", "distribution": {"normal": [0.3, 0.5]}}]})"},
      {HasSubstr("is not a result column"), one, {"--plot-result", "Colour"}},
      {HasSubstr("Cannot create the output folder " + In("plain/out") + ": Not a directory."),
       one,
       {},
       "plain/out"},
      {HasSubstr("Cannot write the results table " + In("busy/results.csv") +
                 ": it is a directory."),
       one,
       {},
       "busy"},
      {HasSubstr("Cannot create the folder " + In("kept/points")), one, {"--keep-files"}, "kept"},
  };
  // Options of a study or a fit without one are a misuse, not silently ignored; options that
  // cannot be honoured are told by name, not as a range of 309 digits.
  const struct {
    std::vector<std::string> args;
    std::string message;
  } misuses[] = {
      {{"--resume"}, "--resume goes with"},
      {{"--study", "s.json", "--out", "o", "--jobs", "0"}, "--jobs: \"0\" is not a whole number"},
      {{"--study", "s.json", "--fit", "r.csv", "--out", "o"},
       "--fit and --study cannot be given together."},
  };
  for (const auto& m : misuses) {
    EXPECT_EQ(Batch(m.args), 2) << m.message;
    EXPECT_THAT(err.str(), HasSubstr(m.message));
    EXPECT_LT(err.str().size(), 200u) << err.str();
  }
  for (const auto& c : cases) {
    EXPECT_EQ(Study(c.text, c.out, c.extra), 1) << c.text;
    EXPECT_THAT(err.str(), c.message);
    EXPECT_FALSE(std::filesystem::exists(dir / c.out / "study.json")) << c.out;
    EXPECT_FALSE(std::filesystem::is_regular_file(dir / c.out / "results.csv")) << c.out;
  }
}

// Only with --resume; the table is then that of a study that never failed.
TEST_F(StudyProgramTest, ARetryComputesTheFailedPointsAgain) {
  const std::string study = R"({"vary": [{"input": "HeatFlux", "values": [4e5, 6e5, 8e5]}]})";
  ASSERT_EQ(Study(study, "clean", {"--keep-files"}), 0) << err.str();
  // Point 2 cannot keep its files.
  std::filesystem::create_directories(dir / "out" / "points");
  test::WriteFile(dir / "out" / "points" / "0002", "in the way");
  EXPECT_EQ(Study(study, "out", {"--keep-files"}), 3);
  std::filesystem::remove(dir / "out" / "points" / "0002");
  const std::string failed = Text("out/results.csv");
  EXPECT_NE(failed, Text("clean/results.csv"));
  EXPECT_EQ(Study(study, "out", {"--keep-files", "--resume"}), 3);
  EXPECT_EQ(Text("out/results.csv"), failed);
  EXPECT_EQ(Study(study, "out", {"--keep-files", "--retry-failed"}), 2);
  EXPECT_THAT(err.str(), HasSubstr("--retry-failed goes with --resume."));
  ASSERT_EQ(Study(study, "out", {"--keep-files", "--resume", "--retry-failed"}), 0) << err.str();
  for (const char* file : {"results.csv", "results.json", "points/0002/Stress.txt"}) {
    EXPECT_EQ(test::ReadFile(dir / "out" / file), test::ReadFile(dir / "clean" / file)) << file;
  }
}

// A study does not run over the study a folder holds: it is completed with --resume or replaced
// with --force, which removes that study's files (its plots and points too) and nothing else.
TEST_F(StudyProgramTest, AFolderHoldingAStudyIsRefusedUnlessForcedWhichClearsItsFilesOnly) {
  const std::string first = R"({"vary": [{"input": "PassCount", "values": [1, 2, 3]}]})";
  const std::string second = R"({"vary": [{"input": "HeatFlux", "values": [4e5, 8e5]}]})";
  ASSERT_EQ(Study(first, "m", {"--keep-files"}), 0) << err.str();
  ASSERT_EQ(Study(second, "other"), 0) << err.str();
  const char* const mine[] = {"notes.txt", "plots/mine.svg", "points/0002/mine.txt"};
  for (const char* file : mine) test::WriteFile(dir / "m" / file, "a user's note\n");
  const auto listing = test::Listing(dir / "m");
  const struct {
    std::string text;
    const char* message;
  } refused[] = {
      {first, "holds this study already (study.json, inputs.json and "},
      {second, "holds another study (study.json, inputs.json and "},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(Study(r.text, "m"), 1) << r.message;
    EXPECT_THAT(err.str(), HasSubstr(In("m") + " " + r.message));
    EXPECT_THAT(err.str(), HasSubstr(r.text == first ? "Give --resume to complete it"
                                                     : "Give another --out folder, or --force"));
    EXPECT_EQ(test::Listing(dir / "m"), listing);
  }
  ASSERT_EQ(Study(second, "m", {"--force"}), 0) << err.str();
  EXPECT_EQ(Text("m/results.csv"), Text("other/results.csv"));
  std::set<std::string> plots = test::Listing(dir / "other" / "plots");
  plots.insert("mine.svg");
  EXPECT_EQ(test::Listing(dir / "m" / "plots"), plots);
  EXPECT_EQ(test::Listing(dir / "m" / "points"), std::set<std::string>{"0002"});
  EXPECT_EQ(test::Listing(dir / "m" / "points" / "0002"), std::set<std::string>{"mine.txt"});
  for (const char* file : mine) EXPECT_EQ(test::ReadFile(dir / "m" / file), "a user's note\n");
}

// Once the first ends, the folder is free again and holds no lock file.
TEST_F(StudyProgramTest, ASecondWriterIntoTheSameFolderIsRefusedNamingTheFirst) {
  const std::string study = R"({"vary": [{"input": "HeatFlux", "values": [1e6]}]})";
  test::WriteFile(dir / "rec.csv", "time;curvature\n1;0.001\n3;0.002\n12;0.004\n");
  const std::vector<std::string> fit = {
      kCase, "--fit", In("rec.csv"), "--fit-params", "coating.SigmaQ", "--out", In("f")};
  for (const std::string out : {"m", "f"}) {
    const auto write = [&] { return out == "m" ? Study(study, out) : Batch(fit); };
    std::filesystem::create_directories(dir / out);
    {
      const FolderLock first(dir / out, "quillane-batch --study first.json");
      EXPECT_EQ(write(), 1);
      EXPECT_THAT(err.str(), HasSubstr("Another program writes into " + (dir / out).string() +
                                       ": quillane-batch --study first.json (process " +
                                       std::to_string(getpid()) + "). Wait for it to end"));
      EXPECT_EQ(test::Listing(dir / out), std::set<std::string>{kFolderLockName});
    }
    EXPECT_EQ(write(), 0) << err.str();
    EXPECT_EQ(test::Listing(dir / out).count(kFolderLockName), 0u);
  }
}

// Files written past this size fail as on a full disk (SIGXFSZ ignored), while it lives.
struct FileSizeLimit {
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit{bytes, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, handler);
  }
  sighandler_t handler = signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
};

// A plot that cannot be written at the end (a full disk) keeps every row, says that --resume
// completes the study, and the resume writes the plots. A folder in a plot's way takes the same
// branch; tests/reliability tells the writers' faults apart.
TEST_F(StudyProgramTest, APlotThatCannotBeWrittenKeepsEveryRowForTheResume) {
  const std::string study = R"({"vary": [{"input": "HeatFlux", "values": [1e6, 2e6]}]})";
  ASSERT_EQ(Study(study, "whole"), 0) << err.str();
  {
    // The tables are below the limit, every plot above it.
    const FileSizeLimit full(2048);
    EXPECT_EQ(Study(study, "m"), 1);
  }
  EXPECT_THAT(err.str(), AllOf(HasSubstr("File too large"),
                               HasSubstr("Every row is in " + In("m/results.csv")),
                               HasSubstr("run again with --resume")));
  EXPECT_EQ(Text("m/results.csv"), Text("whole/results.csv"));
  ASSERT_EQ(Study(study, "m", {"--resume"}), 0) << err.str();
  EXPECT_EQ(test::Listing(dir / "m" / "plots"), test::Listing(dir / "whole" / "plots"));
}

TEST_F(StudyProgramTest, AStoppedStudyReportsOnlyFinishedPoints) {
  MaterialsCatalogue catalogue;
  catalogue.Open(dir / "p1.db");
  const study::Study study =
      Read(R"({"base": {"SubstrateMaterialName": "Acier 316L", "CoatingMaterialName": "NiCrAlY"},
               "vary": [{"input": "HeatFlux", "from": 1e5, "to": 1e6, "steps": 7}]})");
  const auto points = DesignPoints(study);
  std::vector<std::size_t> todo(points.size());
  std::iota(todo.begin(), todo.end(), 0);
  std::stop_source stop;
  std::set<std::size_t> finished;
  RunPoints(
      study, points, todo, catalogue, {2, {}, {}},
      [&](std::size_t index, const PointResult& result) {
        EXPECT_EQ(result.Status, kStatusOk);
        EXPECT_TRUE(finished.insert(index).second) << index;
        stop.request_stop();
      },
      stop.get_token());
  EXPECT_TRUE(finished.size() == 1 || finished.size() == 2) << finished.size();
}

}  // namespace
}  // namespace quillane::study
