#pragma once
// Plots of a study's table, as SVG: for one varied quantity (or each quantity of a
// one-at-a-time study) every headline result against it; for two, a colour map of one result;
// for a sampled study, histograms of the results and the varied quantities ranked by their
// influence on each result (Spearman's rank correlation).

#include <filesystem>
#include <string>
#include <vector>

#include "graphics/DrawingSurface.h"
#include "io/AtomicFile.h"
#include "study/StudyTable.h"

namespace quillane::study {

struct StudyPlot {
  std::string Name;  // file name without extension
  graphics::DrawingSurface Surface;
};

// The plots the study's design calls for; `mapResult` names the result of a colour map.
std::vector<StudyPlot> MakeStudyPlots(const Study& study, const StudyRows& rows,
                                      const std::string& mapResult);

// The unit the plots show values of an SI unit in, and the factor from SI: pascals read better
// as megapascals; everything else stays as it is.
struct PlotUnit {
  double Factor = 1;
  std::string Unit;
};
PlotUnit ShownUnit(const std::string& unit);

// Spearman's rank correlation of two equally long series (ties share their mean rank); NaN
// when either series is constant.
double RankCorrelation(const std::vector<double>& a, const std::vector<double>& b);

// Index of the result column of that name, or -1.
int ResultIndex(const std::string& name);

// Adds every plot as <dir>/<name>.svg to the files published together (dir created when
// missing).
void AddStudyPlots(const std::vector<StudyPlot>& plots, const std::filesystem::path& dir,
                   AtomicFileSet& files);

}  // namespace quillane::study
