#include "thermal/ThermalWriter.h"

#include <gtest/gtest.h>

#include "ModelFixture.h"

namespace quillane {
namespace {

class ThermalWriterTest : public test::ModelFixture {
 protected:
  // A stack of the given layers with recognisable temperatures and heights.
  void Stack(int layers, double time) {
    state.Stack.LayerCount = layers;
    state.Stack.NodeCount = layers + 1;
    state.Stack.NodeTemperature.Redim(1, layers + 1);
    state.Stack.NodeHeight.Redim(1, layers + 1);
    for (int i = 1; i <= layers + 1; ++i) state.Stack.NodeTemperature(i) = 572.996 + i;
    state.Stack.NodeHeight(layers + 1) = 0.0020025;
    state.Clock.ElapsedTime = time;
  }
  std::string Written() {
    state.Files.Thermal.Close();
    return test::ReadFile(state.Files.ThermalPath);
  }
};

TEST_F(ThermalWriterTest, RowsHoldTenTabEndedFieldsAndCrLf) {
  state.Files.Thermal.Open(state.Files.ThermalPath);
  Stack(3, 125.5);
  WriteThermalRow(state, host);
  Stack(7, 0.0000000015);
  WriteThermalRow(state, host);
  RepeatThermalRow(state, host);
  EXPECT_EQ(Written(),
            "125.500000000\t574.00\t575.00\t576.00\t577.00\t\t\t\t\t.002003\t\r\n"
            "00.000000002\t574.00\t575.00\t576.00\t577.00\t578.00\t579.00\t580.00\t581.00\t"
            ".002003\t\r\n"
            "00.000000002\t574.00\t575.00\t576.00\t577.00\t578.00\t579.00\t580.00\t581.00\t"
            ".002003\t\r\n");
  EXPECT_EQ(state.Statistics.ThermalRowCount, 3);
}

TEST_F(ThermalWriterTest, GridGetsItsTitleRowsOnceAndEveryRow) {
  state.Files.Thermal.Open(state.Files.ThermalPath);
  state.Locale.DecimalSeparator = ',';
  Stack(1, 1.5);
  WriteThermalRow(state, host);
  WriteThermalRow(state, host);
  const TextGrid& grid = host.grids[static_cast<int>(GridId::Resultats)];
  ASSERT_EQ(grid.RowCount(), 4);
  EXPECT_EQ(grid.ColumnCount(), 10);
  EXPECT_EQ(grid.Cell(0, 1), "TsubstratI");
  EXPECT_EQ(grid.Cell(0, 9), "Epaisseur");
  EXPECT_EQ(grid.Cell(1, 0), "s");
  EXPECT_EQ(grid.Cell(1, 9), "m") << "the column holds metres";
  EXPECT_EQ(grid.Cell(2, 0), "01,500000000");
  EXPECT_EQ(grid.Cell(3, 2), "575,00");
  EXPECT_EQ(grid.Cell(3, 3), "");
  EXPECT_EQ(grid.Cell(3, 9), ",002003");
  EXPECT_EQ(grid.ColumnWidth(0), 1500);
  EXPECT_EQ(grid.ColumnWidth(1), 1000);
  EXPECT_EQ(grid.CurrentColumn(), 0);
}

}  // namespace
}  // namespace quillane
