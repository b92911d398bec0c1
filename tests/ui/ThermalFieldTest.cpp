// "Champ thermique" in the results window opens the thermal field the run drew.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "ModelFixture.h"
#include "graphics/FieldPicture.h"
#include "graphics/StressSurfaces.h"
#include "ui/ResultWindows.h"
#include "ui/Results.h"
#include "ui/ThermalField.h"

namespace quillane::test {
namespace {

class ThermalFieldTest : public ModelFixture {};

TEST_F(ThermalFieldTest, TheButtonOpensTheFieldOfAWholeDepositRunOnly) {
  ui::ResultWindows windows;
  state.Input.PassCount = 2;
  for (const char* model : {kOnePassModel, kWholeDepositModel, kOnePassModel}) {
    SCOPED_TRACE(model);
    state.Input.StressModel = model;
    ui::RunResults run = windows.PrepareRun(state);
    graphics::PictureSink pictures(run.Surfaces);
    ExecuteRun(run.State, &catalogue, paths, pictures, &run.Rows);
    windows.TakeIn(run);
    auto* button = windows.ResultsWindow().findChild<QPushButton*>(QStringLiteral("Command6"));
    ASSERT_NE(button, nullptr);
    const bool whole = model == std::string(kWholeDepositModel);
    EXPECT_EQ(button->isEnabled(), whole);
    if (!whole) continue;
    QTest::mouseClick(button, Qt::LeftButton);
    ui::ThermalField& field = windows.FieldWindow();
    EXPECT_TRUE(field.isVisible());
    graphics::DrawingSurface drawn(graphics::kFieldWidthTwips, graphics::kFieldHeightTwips);
    graphics::DrawThermalField(run.State, drawn);
    ASSERT_FALSE(drawn.Items().empty());
    EXPECT_EQ(field.Surface().Items().size(), drawn.Items().size());
  }
  // The one-pass run after it hid the field it has none of.
  EXPECT_FALSE(windows.FieldWindow().isVisible());
  EXPECT_TRUE(windows.FieldWindow().Surface().Items().empty());
}

}  // namespace
}  // namespace quillane::test
