#pragma once
// What every window writes the same way, without widgets: lists of faults, captions with their
// unit, the separators of the user's locale, and the rules of the file names they propose.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "model/ModelState.h"

namespace quillane::session {

// The lines as a list beneath a heading: "\n• first\n• second".
std::string Bullets(const std::vector<std::string>& lines);

// "Name (unit)", or the name alone without a unit.
std::string WithUnit(const std::string& name, const std::string& unit);

// The separators of a locale (its decimal point and digit grouping, as UTF-8) as the number
// routines take them: a decimal point that is not one ASCII character is the point; a group
// separator that is not one ASCII character (a narrow blank in French), or that is the decimal
// separator, is a blank.
RegionalSettings SeparatorsOf(std::string_view decimal, std::string_view group);

// The file dialog's filters of a "description|pattern|description|pattern" text: each
// description, with its pattern in parentheses where it has none ("Fichiers (*.txt)").
std::vector<std::string> NameFilters(std::string_view filter);

// A path whose file name has no suffix takes the one of the filter chosen ("Images PNG (*.png)"
// gives "png"); a path with a suffix, or an empty one, is kept.
std::string WithFilterSuffix(const std::string& path, const std::string& filter);

// The recent files after `path` was opened or saved: it comes first, once, and at most
// kMostRecent are kept.
inline constexpr std::size_t kMostRecent = 8;
std::vector<std::string> WithRecent(const std::vector<std::string>& recent,
                                    const std::string& path);

// "À propos de Quillane": the version and the two catalogues the windows read.
std::string AboutText(const std::string& version, const std::filesystem::path& catalogue,
                      const std::filesystem::path& userCatalogue);
// The guide, the program's README: beside the programs and the shipped catalogue where it lies
// there (the build tree), otherwise in the documentation folder of the package that ships the
// catalogue and the batch program, beside the catalogue's folder (share/quillane/Brelon.db gives
// share/doc/quillane-batch/README.md).
std::filesystem::path GuidePath(const std::filesystem::path& catalogue);

}  // namespace quillane::session
