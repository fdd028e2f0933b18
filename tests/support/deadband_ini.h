// Deadband settings as a host keeps them in an INI file, for tests and benchmarks that load the module
// through its "INI-FILE" parameter. Header only: nothing here is part of the module.
#pragma once

#include <cstdint>
#include <fstream>
#include <locale>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace kvo::testing {

struct DeadbandSlot {
  std::string name;
  int32_t type;  // 0 absolute, 1 percent, 2 time limit, 3 count limit
  double band;
};

// The keys of the settings form (Var<n>, Type<n>, Val<n> for the slots in order, then Relationship) as
// one INI section; a band keeps every digit.
inline std::string DeadbandIniText(int32_t relationship, const std::vector<DeadbandSlot>& slots,
                                   std::string_view section = "Common") {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out.precision(17);
  out << "[" << section << "]\r\n";
  int n = 1;
  for (const DeadbandSlot& slot : slots) {
    out << "Var" << n << "=" << slot.name << "\r\nType" << n << "=" << slot.type << "\r\nVal" << n << "="
        << slot.band << "\r\n";
    ++n;
  }
  out << "Relationship=" << relationship << "\r\n";
  return out.str();
}

// Writes `text` to `path`; false when it could not be written whole.
inline bool WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  return !file.fail();
}

}  // namespace kvo::testing
