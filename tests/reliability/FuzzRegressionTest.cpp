// Damaged catalogues the fuzzer (fuzz/) turned up, kept in tests/data/reliability/catalogue_*.db.

#include <gtest/gtest.h>

#include <sstream>

#include "ReliabilitySupport.h"
#include "cli/BatchProgram.h"
#include "materials/MaterialsCatalogue.h"

namespace quillane::test {
namespace {

// Opens a damaged catalogue; returns CatalogueError's message, empty when it opened.
std::string OpenDamaged(const std::filesystem::path& file) {
  MaterialsCatalogue catalogue;
  try {
    catalogue.Open(file);
  } catch (const CatalogueError& error) {
    const std::string message = error.what();
    EXPECT_THAT(message, HasSubstr(file.string()));
    EXPECT_FALSE(catalogue.IsOpen());
    return message;
  }
  for (const MaterialRecord& row : catalogue.Rows()) {
    EXPECT_EQ(catalogue.FindMaterial(row.Name), &catalogue.LookupMaterial(row.Name));
  }
  return {};
}

TEST(CatalogueRegressionTest, EveryStoredReproducerOpensOrIsRefusedCleanly) {
  int opened = 0;
  for (const auto& entry : std::filesystem::directory_iterator(DataDir() / "reliability")) {
    if (entry.path().filename().string().rfind("catalogue_", 0) != 0) continue;
    SCOPED_TRACE(entry.path().filename().string());
    OpenDamaged(entry.path());
    ++opened;
  }
  EXPECT_GT(opened, 0);

  // A damaged row name holding a NUL byte went into the message as it was, and what() ended the
  // message there, before the file and the reason.
  const auto file = DataDir() / "reliability" / "catalogue_name_with_nul.db";
  const std::string message = OpenDamaged(file);
  EXPECT_THAT(message, HasSubstr("\\x00"));
  EXPECT_THAT(message, HasSubstr("is missing (NULL)"));
  for (const char c : message) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << message;
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(cli::RunBatch({"--catalogue", file.string(), "--list-materials"}, out, err), 1);
  EXPECT_THAT(err.str(), HasSubstr(file.string()));
}

}  // namespace
}  // namespace quillane::test
