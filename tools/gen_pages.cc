// Writes the entry pages of FORM/ from the item catalogue:
//   gen_pages --catalogue app/catalogue/items.tsv --out app/FORM
// Run it after every change of the catalogue and commit the pages with it.
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include "store/catalogue.h"
#include "store/entry_pages.h"

int main(int argc, char** argv) {
  std::string catalogue_path;
  std::string out;
  for (int i = 1; i < argc; ++i) {
    const bool has_value = i + 1 < argc;
    if (std::strcmp(argv[i], "--catalogue") == 0 && has_value) {
      catalogue_path = argv[++i];
    } else if (std::strcmp(argv[i], "--out") == 0 && has_value) {
      out = argv[++i];
    } else {
      catalogue_path.clear();
      break;
    }
  }
  if (catalogue_path.empty() || out.empty()) {
    std::cerr << "usage: gen_pages --catalogue FILE --out FOLDER\n";
    return 2;
  }
  try {
    const auto pages = zelka::BuildEntryPages(zelka::Catalogue::Load(catalogue_path));
    zelka::WriteEntryPages(pages, out);
    std::cout << pages.size() << " pages written to " << out << "\n";
  } catch (const std::exception& e) {
    std::cerr << "gen_pages: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
