#include "session/WindowText.h"

#include <filesystem>
#include <system_error>

namespace quillane::session {

std::string Bullets(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n• " + line;
  return text;
}

std::string WithUnit(const std::string& name, const std::string& unit) {
  return unit.empty() ? name : name + " (" + unit + ")";
}

namespace {

// The character of a separator when it is a single ASCII one.
char Single(std::string_view separator, char otherwise) {
  return separator.size() == 1 && static_cast<unsigned char>(separator[0]) < 0x80 ? separator[0]
                                                                                  : otherwise;
}

}  // namespace

RegionalSettings SeparatorsOf(std::string_view decimal, std::string_view group) {
  RegionalSettings settings;
  settings.DecimalSeparator = Single(decimal, '.');
  settings.GroupSeparator = Single(group, ' ');
  if (settings.GroupSeparator == settings.DecimalSeparator) settings.GroupSeparator = ' ';
  return settings;
}

std::vector<std::string> NameFilters(std::string_view filter) {
  std::vector<std::string> parts;
  for (std::size_t start = 0;;) {
    const std::size_t bar = filter.find('|', start);
    parts.emplace_back(filter.substr(start, bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  std::vector<std::string> filters;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string description = parts[i];
    // The dialog reads the patterns from the parentheses of the description.
    if (description.find('(') == std::string::npos) description += " (" + parts[i + 1] + ")";
    filters.push_back(std::move(description));
  }
  return filters;
}

std::string WithFilterSuffix(const std::string& path, const std::string& filter) {
  const std::string name = std::filesystem::path(path).filename().string();
  const std::size_t point = name.rfind('.');
  const bool suffix = point != std::string::npos && point + 1 < name.size();
  const std::size_t dot = filter.rfind('.');
  if (path.empty() || suffix || dot == std::string::npos) return path;
  // "Images PNG (*.png)": from the last point to the closing parenthesis.
  return path + filter.substr(dot, filter.size() - dot - 1);
}

std::vector<std::string> WithRecent(const std::vector<std::string>& recent,
                                    const std::string& path) {
  std::vector<std::string> list{path};
  for (const std::string& earlier : recent) {
    if (earlier != path && !earlier.empty() && list.size() < kMostRecent) list.push_back(earlier);
  }
  return list;
}

std::string AboutText(const std::string& version, const std::filesystem::path& catalogue,
                      const std::filesystem::path& userCatalogue) {
  return "Quillane " + version +
         "\nConstruction d'un dépôt projeté sur une plaque : histoire thermique, contraintes "
         "résiduelles, courbure.\n\nCatalogue des matériaux : " +
         catalogue.string() + "\nVos matériaux : " + userCatalogue.string();
}

std::filesystem::path GuidePath(const std::filesystem::path& catalogue) {
  const std::filesystem::path beside = catalogue.parent_path() / "README.md";
  std::error_code error;
  if (std::filesystem::is_regular_file(beside, error)) return beside;
  return catalogue.parent_path().parent_path() / "doc" / "quillane-batch" / "README.md";
}

}  // namespace quillane::session
