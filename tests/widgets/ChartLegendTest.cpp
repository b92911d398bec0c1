// Legends of the windows' charts never hide a data point, wherever the points lie.

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <vector>

#include "widgets/Charts.h"

namespace quillane::ui {
namespace {

struct Points {
  std::vector<double> X;
  std::vector<double> Y;
};

// Every legend box against every point, in the chart's own pixels after it was drawn.
int PointsUnderLegends(const QCustomPlot& plot) {
  int hidden = 0;
  for (int g = 0; g < plot.graphCount(); ++g) {
    const QCPGraph& graph = *plot.graph(g);
    for (const QCPGraphData& point : *graph.data()) {
      const QPointF at(graph.keyAxis()->coordToPixel(point.key),
                       graph.valueAxis()->coordToPixel(point.value));
      hidden += plot.legend->rect().contains(at.toPoint());
    }
  }
  return hidden;
}

TEST(ChartLegendTest, NoLegendBoxHoldsADataPoint) {
  const Points cases[] = {
      {{0, 1}, {0, 1}},                                      // the top right is taken
      {{0, 0.02, 0.04, 0.96, 0.98, 1}, {1, 1, 1, 1, 1, 1}},  // both top corners are
      {{0, 0.5, 1, 0, 1}, {0, 0.4, 0, 1, 1}},                // every corner is, the middle is low
  };
  for (const Points& c : cases) {
    SCOPED_TRACE(c.X.size());
    QCustomPlot plot;
    plot.resize(640, 400);
    ChartFrame frame(plot, QStringLiteral("test.png"));
    for (const char* name : {"Mesure", "Modèle ajusté"}) {
      QCPGraph* graph = plot.addGraph();
      graph->setData(QVector<double>(c.X.begin(), c.X.end()),
                     QVector<double>(c.Y.begin(), c.Y.end()));
      graph->setLineStyle(QCPGraph::lsNone);
      graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 5));
      graph->setName(QString::fromUtf8(name));
    }
    plot.legend->setVisible(true);
    frame.ResetView();
    EXPECT_EQ(PointsUnderLegends(plot), 0);
    // The entries moved with their box.
    for (int i = 0; i < plot.legend->itemCount(); ++i)
      EXPECT_TRUE(plot.legend->rect().contains(plot.legend->item(i)->outerRect())) << i;
  }
}

}  // namespace
}  // namespace quillane::ui
