#include "run/ResultWriter.h"

#include <gtest/gtest.h>

#include "RecordingSink.h"
#include "TestSupport.h"
#include "stress/DeflectionHistory.h"

namespace quillane {
namespace {

// A record with recognisable temperatures (573.996 + i for node i) and thickness.
ThermalRecord Record(int nodes, double time) {
  ThermalRecord record;
  record.Time = time;
  record.NodeCount = nodes;
  for (int i = 0; i < nodes; ++i) record.Temperature[static_cast<std::size_t>(i)] = 573.996 + i;
  record.Thickness = 0.0020025;
  return record;
}

// The comma locale's row is pinned by the writer's test below.
TEST(ThermalRowFormatterTest, RowsHoldTenTabEndedFields) {
  const std::pair<ThermalRecord, const char*> rows[] = {
      {Record(4, 125.5), "125.500000000\t574.00\t575.00\t576.00\t577.00\t\t\t\t\t.002003\t"},
      {Record(8, 0.0000000015),
       "00.000000002\t574.00\t575.00\t576.00\t577.00\t578.00\t579.00\t580.00\t581.00\t.002003\t"},
  };
  for (const auto& [record, text] : rows) {
    ThermalRowFormatter formatter('.');
    EXPECT_EQ(formatter.Format(record, false), text);
    // A repeat is the text made last time, whatever record comes with it.
    EXPECT_EQ(formatter.Format(Record(1, 99), true), text);
  }
}

TEST(ResultWriterTest, RowsGoToTheFileTheStoreAndTheObserver) {
  test::TempDir dir;
  AtomicFile file;
  file.Open(dir / "t.txt");
  ResultRowStore rows;
  rows.SetColumnCount(kThermalColumns);
  test::RecordingSink observer;
  ResultWriter writer(',', observer, &file, &rows);
  // A first row flagged as a repeat has nothing to repeat: it is formatted.
  writer.ThermalRow(Record(2, 1.5), true);
  writer.ThermalRow(Record(3, 2), false);
  writer.ThermalRow(Record(3, 2), true);
  writer.SingularMatrix();
  EXPECT_TRUE(writer.Progress(0.5));
  observer.cancel = true;
  EXPECT_FALSE(writer.Progress(0.75)) << "the observer's answer cancels the run";
  file.Close();
  EXPECT_EQ(test::ReadFile(dir / "t.txt"),
            "01,500000000\t574,00\t575,00\t\t\t\t\t\t\t,002003\t\r\n"
            "02,000000000\t574,00\t575,00\t576,00\t\t\t\t\t\t,002003\t\r\n"
            "02,000000000\t574,00\t575,00\t576,00\t\t\t\t\t\t,002003\t\r\n");
  EXPECT_EQ(rows.RowCount(), 5) << "two title rows and three records";
  EXPECT_EQ(observer.repeats, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(observer.singularReports, 1);
  EXPECT_EQ(observer.progress, (std::vector<double>{0.5, 0.75}));
}

// Two lamellae of 1 µm on 2 mm, with chosen results: the tables must show them row for row.
TEST(StressTablesTest, TablesBeforeAndAfterCoolingRowByRow) {
  ModelState state;
  test::TempDir dir;
  state.Clock.LamellaCount = 2;
  StressResults& s = state.Stress;
  s.SizeLamellaArrays(2);
  s.SubstrateThickness = 0.002;
  s.LamellaThicknessCopy = 1e-6;
  s.NeutralAxisPosition(2) = -0.00099925;
  s.SubstrateStressBack(2) = 1.5e6;
  s.SubstrateStressFront(2) = -3e6;
  s.LamellaStress(1) = 9.87654e7;
  s.LamellaStress(2) = 1e8;
  s.SubstrateStressBackFinal = 2e6;
  s.SubstrateStressFrontFinal = -4e6;
  s.LamellaStressFinal(1) = -2.5e7;
  s.LamellaStressFinal(2) = 12345678.9;
  s.Deflection(0) = 1e-9;
  s.Deflection(1) = 2.5e-6;
  s.Deflection(2) = -1.25e-5;
  s.FinalDeflection = -4e-5;
  // Only the scientific column before cooling follows the locale (the point's: the reference case).
  state.Locale.DecimalSeparator = ',';
  AtomicFile thermal;
  thermal.Open(dir / "t.txt");
  WriteBeforeCoolingTable(state, thermal);
  thermal.Close();
  EXPECT_EQ(
      test::ReadFile(dir / "t.txt"),
      "POSITION DE L'AXE NEUTRE : \t-.00099925\r\nCONTRAINTES AVANT REFROIDISSEMENT FINAL \r\n"
      "X\tSIGMA\r\n-.002\t1,50E+06\r\n 0\t-3,00E+06\r\n 5E-07\t9,88E+07\r\n "
      "1.5E-06\t1,00E+08\r\n");
  // The second grid shows the bottom of each lamella, not its mid-plane.
  EXPECT_EQ(AfterCoolingRows(state),
            (std::vector<std::string>{" 0\t-25000000", " 1E-06\t 12345678.9"}));

  AtomicFile stress;
  stress.Open(dir / "s.txt");
  WriteStressResultsFile(state, stress);
  stress.Close();
  const std::string text = test::ReadFile(dir / "s.txt");
  const std::string head =
      "CONTRAINTES FINALES\r\nX\tSIGMA\r\n-.002\t 2000000\r\n 0\t-4000000\r\n "
      "5E-07\t-25000000\r\n"
      " 1.5E-06\t 12345678.9\r\nFLECHES\r\ntemps\tfleches\r\n 0\t 1E-09\r\n 4\t 2.5E-06\r\n"
      " 8\t-1.25E-05\r\n";
  EXPECT_EQ(text.substr(0, head.size()), head);
  const std::vector<std::string> lines = test::Lines(text);
  ASSERT_EQ(lines.size(), 11u + kCoolingSamples);
  // The cooling curve: every 6 s from the last lamella, relaxing from the last build-up
  // deflection towards the final one without overshooting it.
  double previous = state.Stress.Deflection(2);
  for (int i = 1; i < kCoolingSamples; ++i) {
    const std::string& line = lines[static_cast<std::size_t>(10 + i)];
    EXPECT_EQ(line.substr(0, line.find('\t')), " " + std::to_string(8 + 6 * i)) << line;
    const double value = std::stod(line.substr(line.find('\t') + 1));
    EXPECT_LT(value, previous) << line;
    EXPECT_GT(value, state.Stress.FinalDeflection) << line;
    previous = value;
  }
  EXPECT_EQ(lines.back(), " 128\t-4E-05\r");
}

}  // namespace
}  // namespace quillane
